#include "PortalKeyInjector.h"

#include "keystrokes/Keysyms.h"
#include "keystrokes/portal/KdeKeyboardLayouts.h"
#include "keystrokes/portal/SeatKeymap.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>

namespace tavlun::keystrokes {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRemoteDesktopInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kSessionInterface = QStringLiteral("org.freedesktop.portal.Session");

constexpr unsigned kKeyboardDevice = 1; // device type bit
constexpr unsigned kPersistUntilRevoked = 2;
constexpr unsigned kFirstPersistingVersion = 2;
constexpr int kProbeTimeoutMs = 5000;

const QString kOwnTextBoxMeanwhile = QStringLiteral(
    " (meanwhile, with Tavlun's window open, characters go to its own text box)");

// Unique per connection: the portal builds request and session paths from
// the sender's name and these tokens.
QString nextToken()
{
    static unsigned counter = 0;
    return QStringLiteral("tavlun%1").arg(++counter);
}

} // namespace

PortalInfo PortalKeyInjector::probe(const QDBusConnection &bus)
{
    if (!bus.isConnected())
        return {0, QStringLiteral("no session D-Bus, so no desktop portal")};
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    get << kRemoteDesktopInterface;
    const QDBusMessage reply = bus.call(get, QDBus::Block, kProbeTimeoutMs);
    const QVariantMap properties = reply.type() == QDBusMessage::ReplyMessage
        ? qdbus_cast<QVariantMap>(reply.arguments().value(0))
        : QVariantMap();
    const unsigned version = properties.value(QStringLiteral("version")).toUInt();
    if (version == 0)
        return {0, QStringLiteral("the desktop portal offers no remote desktop (%1)")
                       .arg(reply.errorName().isEmpty() ? QStringLiteral("no version") : reply.errorName())};
    if (!(properties.value(QStringLiteral("AvailableDeviceTypes")).toUInt() & kKeyboardDevice))
        return {version, QStringLiteral("the desktop portal's remote desktop offers no keyboard")};
    return {version, {}};
}

std::unique_ptr<PortalKeyInjector> PortalKeyInjector::open(const PortalInfo &info, Keys keys)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    std::unique_ptr<SeatKeymap> keymap;
    std::unique_ptr<KdeKeyboardLayouts> layouts;
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        keymap = SeatKeymap::connect(QByteArray(), nullptr);
    if (keymap && keys == Keys::AsKeycodes)
        layouts = std::make_unique<KdeKeyboardLayouts>(
            bus, [seat = keymap.get()](unsigned index) { seat->useLayout(index); });
    return std::make_unique<PortalKeyInjector>(bus, info, std::move(keymap), std::move(layouts),
                                               RestoreTokenStore(RestoreTokenStore::defaultDirectory()));
}

PortalKeyInjector::PortalKeyInjector(const QDBusConnection &bus, const PortalInfo &info,
                                     std::unique_ptr<SeatKeymap> keymap,
                                     std::unique_ptr<KdeKeyboardLayouts> layouts,
                                     const RestoreTokenStore &tokens)
    : bus_(bus), info_(info), keymap_(std::move(keymap)), layouts_(std::move(layouts)),
      restoreTokens_(tokens)
{
    portalWatcher_ = std::make_unique<QDBusServiceWatcher>(
        kService, bus_, QDBusServiceWatcher::WatchForUnregistration);
    connect(portalWatcher_.get(), &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        if (state_ == State::Asking || state_ == State::Typing)
            stopTyping(QStringLiteral("Tavlun can no longer type into other applications because the "
                                      "desktop portal stopped; restart Tavlun"));
    });
}

PortalKeyInjector::~PortalKeyInjector()
{
    if (!sessionPath_.isEmpty() && state_ != State::Failed) {
        const QDBusMessage close = QDBusMessage::createMethodCall(
            kService, sessionPath_, kSessionInterface, QStringLiteral("Close"));
        bus_.call(close, QDBus::NoBlock);
    }
}

void PortalKeyInjector::requestPermission()
{
    if (state_ != State::Idle)
        return;
    state_ = State::Asking;
    if (info_.version < kFirstPersistingVersion)
        tell(QStringLiteral("This desktop asks at every start of Tavlun whether it may type into "
                            "other applications, because the desktop's portal cannot remember "
                            "the answer; allow it when asked."));
    if (const QString layout = keymap_ ? keymap_->unconfirmedLayout() : QString(); !layout.isEmpty())
        tell(QStringLiteral("This desktop has several keyboard layouts and does not tell Tavlun "
                            "which one is in use, so Tavlun types with \u201C%1\u201D and says "
                            "which characters it lacks. While another layout is in use, "
                            "characters may not arrive: switch back to \u201C%1\u201D, or type "
                            "while Tavlun's window is open.")
                 .arg(layout));
    makeRequest(Step::CreateSession, QStringLiteral("CreateSession"), {},
                {{QStringLiteral("session_handle_token"), nextToken()}});
}

bool PortalKeyInjector::type(core::Key key)
{
    // Without the seat's keymap, a character goes as its Latin-1 or Unicode keysym.
    std::uint32_t keysym = keysymFor(key);
    if (keysym == 0 || state_ == State::Failed)
        return false;
    const char32_t character = key.character();
    // What the layout lacks the compositor would drop without a word.
    if (keymap_ && character)
        keysym = keymap_->keysymFor(character);
    const QList<KeyEvent> events = keysym ? eventsFor(keysym) : QList<KeyEvent>();
    if (events.isEmpty()) {
        if (character)
            tellMissing(character);
        return false;
    }
    if (state_ == State::Typing) {
        eventsToSend_ += events;
        sendNextEvent();
        return true;
    }
    // Kept until the desktop has asked the user, which the first key starts.
    requestPermission();
    eventsWhileAsking_ += events;
    return true;
}

QList<PortalKeyInjector::KeyEvent> PortalKeyInjector::eventsFor(std::uint32_t keysym) const
{
    if (!layouts_)
        return {{keysym, 1, false}, {keysym, 0, false}};
    const std::optional<SeatKeymap::KeyStroke> stroke = keymap_->strokeFor(keysym);
    if (!stroke)
        return {};
    QList<KeyEvent> events;
    for (const std::uint32_t modifier : stroke->modifiers)
        events.append({modifier, 1, true});
    events.append({stroke->key, 1, true});
    events.append({stroke->key, 0, true});
    for (auto modifier = stroke->modifiers.rbegin(); modifier != stroke->modifiers.rend(); ++modifier)
        events.append({*modifier, 0, true});
    return events;
}

void PortalKeyInjector::tellMissing(char32_t character)
{
    if (missingCharactersTold_.contains(character))
        return;
    missingCharactersTold_.insert(character);
    const QString remedy = keymap_ && keymap_->otherLayoutHas(character)
        ? QStringLiteral("it is in another of your layouts: switch to that layout")
        : QStringLiteral("add a layout that has it in the desktop's keyboard settings");
    tell(QStringLiteral("The character \u201C%1\u201D was not typed into the other "
                        "application because the keyboard layout in use has no key "
                        "for it; %2, or type it while Tavlun's window is open.")
             .arg(QString::fromUcs4(&character, 1), remedy));
}

void PortalKeyInjector::makeRequest(Step step, const QString &method, QVariantList arguments,
                             QVariantMap options)
{
    // The request's path follows from our name and the token: listen
    // before calling, or a quick answer is lost.
    const QString token = nextToken();
    options.insert(QStringLiteral("handle_token"), token);
    QString sender = bus_.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    step_ = step;
    requestPath_ = kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    listenForResponse(requestPath_);

    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kRemoteDesktopInterface, method);
    arguments.append(options);
    message.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, expected = requestPath_](QDBusPendingCallWatcher *finished) {
                onRequestCallFinished(finished, expected);
            });
}

void PortalKeyInjector::listenForResponse(const QString &path)
{
    bus_.connect(kService, path, kRequestInterface, QStringLiteral("Response"), this,
                 SLOT(onResponse(uint,QVariantMap)));
}

void PortalKeyInjector::stopListening()
{
    if (requestPath_.isEmpty())
        return;
    // The path stays: the next request replaces it, and a late answer to
    // this one finds the injector no longer asking.
    bus_.disconnect(kService, requestPath_, kRequestInterface, QStringLiteral("Response"), this,
                    SLOT(onResponse(uint,QVariantMap)));
}

void PortalKeyInjector::onRequestCallFinished(QDBusPendingCallWatcher *watcher, const QString &expected)
{
    watcher->deleteLater();
    // The answer may have come first; then there is nothing to do.
    if (state_ != State::Asking || requestPath_ != expected || !watcher->isError())
        return;
    stopTyping(QStringLiteral("Tavlun cannot type into other applications because the desktop portal "
                              "did not answer (%1); restart Tavlun to try again")
                   .arg(watcher->error().name()));
}

void PortalKeyInjector::onResponse(uint response, const QVariantMap &results)
{
    if (state_ != State::Asking || !calledFromDBus() || message().path() != requestPath_)
        return;
    stopListening();
    switch (response) {
    case 0:
        continueAfter(step_, results);
        return;
    case 1:
        stopTyping(QStringLiteral("Tavlun cannot type into other applications because the permission "
                                  "was refused; restart Tavlun and allow it when the desktop asks"));
        return;
    default:
        stopTyping(QStringLiteral("Tavlun cannot type into other applications because the desktop "
                                  "could not give the permission; restart Tavlun to be asked again"));
        return;
    }
}

void PortalKeyInjector::continueAfter(Step step, const QVariantMap &results)
{
    switch (step) {
    case Step::CreateSession: {
        const QVariant handle = results.value(QStringLiteral("session_handle"));
        // The portal documents a string; an object path is taken too.
        sessionPath_ = handle.canConvert<QDBusObjectPath>()
            ? handle.value<QDBusObjectPath>().path()
            : handle.toString();
        if (sessionPath_.isEmpty()) {
            stopTyping(QStringLiteral("Tavlun cannot type into other applications because the desktop "
                                      "portal opened no session; restart Tavlun to try again"));
            return;
        }
        bus_.connect(kService, sessionPath_, kSessionInterface, QStringLiteral("Closed"), this,
                     SLOT(onSessionClosed(QVariantMap)));
        QVariantMap options{{QStringLiteral("types"), kKeyboardDevice}};
        if (info_.version >= kFirstPersistingVersion) {
            options.insert(QStringLiteral("persist_mode"), kPersistUntilRevoked);
            const QString token = restoreTokens_.load();
            if (!token.isEmpty())
                options.insert(QStringLiteral("restore_token"), token);
        }
        makeRequest(Step::SelectDevices, QStringLiteral("SelectDevices"),
                    {QVariant::fromValue(QDBusObjectPath(sessionPath_))}, options);
        return;
    }
    case Step::SelectDevices:
        makeRequest(Step::Start, QStringLiteral("Start"),
                    {QVariant::fromValue(QDBusObjectPath(sessionPath_)), QString()}, {});
        return;
    case Step::Start:
        break;
    }

    if (!(results.value(QStringLiteral("devices")).toUInt() & kKeyboardDevice)) {
        stopTyping(QStringLiteral("Tavlun cannot type into other applications because the desktop gave "
                                  "no keyboard; restart Tavlun and allow the keyboard when asked"));
        return;
    }
    const QString token = results.value(QStringLiteral("restore_token")).toString();
    if (info_.version >= kFirstPersistingVersion && !token.isEmpty()) {
        QString error;
        if (!restoreTokens_.save(token, &error))
            tell(QStringLiteral("Tavlun could not keep the desktop's permission (%1), so the "
                                "desktop will ask again at the next start.")
                     .arg(error));
    }
    state_ = State::Typing;
    eventsToSend_ += std::exchange(eventsWhileAsking_, {});
    sendNextEvent();
}

// The portal may handle calls on several threads, so a key event that is
// sent before the previous one is answered can overtake it: one at a time.
void PortalKeyInjector::sendNextEvent()
{
    if (eventInFlight_ || eventsToSend_.isEmpty() || state_ != State::Typing)
        return;
    const KeyEvent event = eventsToSend_.takeFirst();
    QDBusMessage message = QDBusMessage::createMethodCall(
        kService, kPath, kRemoteDesktopInterface,
        event.keycode ? QStringLiteral("NotifyKeyboardKeycode") : QStringLiteral("NotifyKeyboardKeysym"));
    message << QVariant::fromValue(QDBusObjectPath(sessionPath_)) << QVariantMap()
            << static_cast<int>(event.code) << event.state;
    eventInFlight_ = bus_.callWithCallback(message, this, SLOT(onKeySent()),
                                           SLOT(onKeyError(QDBusError)));
    if (!eventInFlight_)
        onKeyError(bus_.lastError());
}

void PortalKeyInjector::onKeySent()
{
    eventInFlight_ = false;
    sendNextEvent();
}

// A refused key ends typing for good, so no next event waits on this one.
void PortalKeyInjector::onKeyError(const QDBusError &error)
{
    if (state_ == State::Typing)
        stopTyping(QStringLiteral("Tavlun can no longer type into other applications because the "
                                  "desktop portal refused a key (%1); restart Tavlun")
                       .arg(error.name()));
}

void PortalKeyInjector::onSessionClosed(const QVariantMap &)
{
    if (state_ == State::Failed)
        return;
    stopTyping(QStringLiteral("Tavlun can no longer type into other applications because the desktop "
                              "ended its permission; restart Tavlun to be asked again"));
}

void PortalKeyInjector::stopTyping(const QString &why)
{
    state_ = State::Failed;
    stopListening();
    tell(why + kOwnTextBoxMeanwhile + QLatin1Char('.'));
}

void PortalKeyInjector::tell(const QString &problem)
{
    if (onProblem)
        onProblem(problem.toStdString());
}

} // namespace tavlun::keystrokes
