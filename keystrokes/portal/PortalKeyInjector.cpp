#include "PortalKeyInjector.h"

#include "keystrokes/Keysyms.h"
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
const QString kInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kSessionInterface = QStringLiteral("org.freedesktop.portal.Session");

constexpr unsigned kKeyboard = 1;        // device type bit
constexpr unsigned kPersistUntilRevoked = 2;
constexpr unsigned kFirstPersistingVersion = 2;
constexpr int kProbeTimeoutMs = 5000;

const QString kMeanwhile = QStringLiteral(
    " (meanwhile, with Tavlun's window open, characters go to its own text box)");

// Unique per connection: the portal builds request and session paths from
// the sender's name and these tokens.
QString nextToken()
{
    static unsigned counter = 0;
    return QStringLiteral("tavlun%1").arg(++counter);
}

} // namespace

bool PortalKeyInjector::probe(const QDBusConnection &bus, PortalInfo *info, QString *failureReason)
{
    const auto fail = [failureReason](const QString &reason) {
        if (failureReason)
            *failureReason = reason;
        return false;
    };
    if (!bus.isConnected())
        return fail(QStringLiteral("no session D-Bus, so no desktop portal"));
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    get << kInterface;
    const QDBusMessage reply = bus.call(get, QDBus::Block, kProbeTimeoutMs);
    const QVariantMap properties = reply.type() == QDBusMessage::ReplyMessage
        ? qdbus_cast<QVariantMap>(reply.arguments().value(0))
        : QVariantMap();
    PortalInfo found;
    found.version = properties.value(QStringLiteral("version")).toUInt();
    found.deviceTypes = properties.value(QStringLiteral("AvailableDeviceTypes")).toUInt();
    if (info)
        *info = found;
    if (found.version == 0)
        return fail(QStringLiteral("the desktop portal offers no remote desktop (%1)")
                        .arg(reply.errorName().isEmpty() ? QStringLiteral("no version")
                                                         : reply.errorName()));
    if (!(found.deviceTypes & kKeyboard))
        return fail(QStringLiteral("the desktop portal's remote desktop offers no keyboard"));
    return true;
}

std::unique_ptr<PortalKeyInjector> PortalKeyInjector::open(const PortalInfo &info)
{
    std::unique_ptr<SeatKeymap> keymap;
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        keymap = SeatKeymap::connect(QByteArray(), nullptr);
    return std::make_unique<PortalKeyInjector>(QDBusConnection::sessionBus(), info, std::move(keymap),
                                               RestoreTokenStore(RestoreTokenStore::defaultDirectory()));
}

PortalKeyInjector::PortalKeyInjector(const QDBusConnection &bus, const PortalInfo &info,
                                     std::unique_ptr<SeatKeymap> keymap,
                                     const RestoreTokenStore &tokens)
    : bus_(bus), info_(info), keymap_(std::move(keymap)), tokens_(tokens)
{
    portalWatcher_ = std::make_unique<QDBusServiceWatcher>(
        kService, bus_, QDBusServiceWatcher::WatchForUnregistration);
    connect(portalWatcher_.get(), &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        if (state_ == State::Asking || state_ == State::Typing)
            fail(QStringLiteral("Tavlun can no longer type into other applications because the "
                                "desktop portal stopped; restart Tavlun")
                 + kMeanwhile + QLatin1Char('.'));
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
        report(QStringLiteral("This desktop asks at every start of Tavlun whether it may type into "
                              "other applications, because the desktop's portal cannot remember "
                              "the answer; allow it when asked."));
    if (const QString layout = keymap_ ? keymap_->unconfirmedLayout() : QString(); !layout.isEmpty())
        report(QStringLiteral("This desktop has several keyboard layouts and does not tell Tavlun "
                              "which one is in use, so Tavlun types with \u201C%1\u201D and says "
                              "which characters it lacks. While another layout is in use, "
                              "characters may not arrive: switch back to \u201C%1\u201D, or type "
                              "while Tavlun's window is open.")
                   .arg(layout));
    call(Step::CreateSession, QStringLiteral("CreateSession"), {},
         {{QStringLiteral("session_handle_token"), nextToken()}});
}

bool PortalKeyInjector::type(core::Key key)
{
    // Without the seat's keymap, a character goes as its Latin-1 or Unicode keysym.
    std::uint32_t keysym = keysymFor(key);
    if (keysym == 0 || state_ == State::Failed)
        return false;
    const char32_t character = key.character();
    if (keymap_ && character) {
        // What the layout lacks the compositor would drop without a word.
        keysym = keymap_->keysymFor(character);
        if (keysym == 0) {
            if (!missingReported_.contains(character)) {
                missingReported_.insert(character);
                const QString remedy = keymap_->otherLayoutHas(character)
                    ? QStringLiteral("it is in another of your layouts: switch to that layout")
                    : QStringLiteral("add a layout that has it in the desktop's keyboard settings");
                report(QStringLiteral("The character \u201C%1\u201D was not typed into the other "
                                      "application because the keyboard layout in use has no key "
                                      "for it; %2, or type it while Tavlun's window is open.")
                           .arg(QString::fromUcs4(&character, 1), remedy));
            }
            return false;
        }
    }
    switch (state_) {
    case State::Idle:
        requestPermission();
        [[fallthrough]];
    case State::Asking:
        waiting_.append(keysym);
        return true;
    case State::Typing:
        press(keysym);
        return true;
    case State::Failed:
        break;
    }
    return false;
}

void PortalKeyInjector::call(Step step, const QString &method, QVariantList arguments,
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

    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    arguments.append(options);
    message.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, expected = requestPath_](QDBusPendingCallWatcher *finished) {
                onRequestReply(finished, expected);
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

void PortalKeyInjector::onRequestReply(QDBusPendingCallWatcher *watcher, const QString &expected)
{
    watcher->deleteLater();
    // The answer may have come first; then there is nothing to do.
    if (state_ != State::Asking || requestPath_ != expected || !watcher->isError())
        return;
    fail(QStringLiteral("Tavlun cannot type into other applications because the desktop portal "
                        "did not answer (%1); restart Tavlun to try again")
             .arg(watcher->error().name())
         + kMeanwhile + QLatin1Char('.'));
}

void PortalKeyInjector::onResponse(uint response, const QVariantMap &results)
{
    if (state_ != State::Asking || !calledFromDBus() || message().path() != requestPath_)
        return;
    stopListening();
    switch (response) {
    case 0:
        advance(step_, results);
        return;
    case 1:
        fail(QStringLiteral("Tavlun cannot type into other applications because the permission "
                            "was refused; restart Tavlun and allow it when the desktop asks")
             + kMeanwhile + QLatin1Char('.'));
        return;
    default:
        fail(QStringLiteral("Tavlun cannot type into other applications because the desktop "
                            "could not give the permission; restart Tavlun to be asked again")
             + kMeanwhile + QLatin1Char('.'));
        return;
    }
}

void PortalKeyInjector::advance(Step step, const QVariantMap &results)
{
    switch (step) {
    case Step::CreateSession: {
        const QVariant handle = results.value(QStringLiteral("session_handle"));
        // The portal documents a string; an object path is taken too.
        sessionPath_ = handle.canConvert<QDBusObjectPath>()
            ? handle.value<QDBusObjectPath>().path()
            : handle.toString();
        if (sessionPath_.isEmpty()) {
            fail(QStringLiteral("Tavlun cannot type into other applications because the desktop "
                                "portal opened no session; restart Tavlun to try again")
                 + kMeanwhile + QLatin1Char('.'));
            return;
        }
        bus_.connect(kService, sessionPath_, kSessionInterface, QStringLiteral("Closed"), this,
                     SLOT(onSessionClosed(QVariantMap)));
        QVariantMap options{{QStringLiteral("types"), kKeyboard}};
        if (info_.version >= kFirstPersistingVersion) {
            options.insert(QStringLiteral("persist_mode"), kPersistUntilRevoked);
            const QString token = tokens_.load();
            if (!token.isEmpty())
                options.insert(QStringLiteral("restore_token"), token);
        }
        call(Step::SelectDevices, QStringLiteral("SelectDevices"),
             {QVariant::fromValue(QDBusObjectPath(sessionPath_))}, options);
        return;
    }
    case Step::SelectDevices:
        call(Step::Start, QStringLiteral("Start"),
             {QVariant::fromValue(QDBusObjectPath(sessionPath_)), QString()}, {});
        return;
    case Step::Start:
        break;
    }

    if (!(results.value(QStringLiteral("devices")).toUInt() & kKeyboard)) {
        fail(QStringLiteral("Tavlun cannot type into other applications because the desktop gave "
                            "no keyboard; restart Tavlun and allow the keyboard when asked")
             + kMeanwhile + QLatin1Char('.'));
        return;
    }
    const QString token = results.value(QStringLiteral("restore_token")).toString();
    if (info_.version >= kFirstPersistingVersion && !token.isEmpty()) {
        QString error;
        if (!tokens_.save(token, &error))
            report(QStringLiteral("Tavlun could not keep the desktop's permission (%1), so the "
                                  "desktop will ask again at the next start.")
                       .arg(error));
    }
    state_ = State::Typing;
    const QList<std::uint32_t> waiting = std::exchange(waiting_, {});
    for (const std::uint32_t keysym : waiting)
        press(keysym);
}

void PortalKeyInjector::press(std::uint32_t keysym)
{
    outgoing_.append({keysym, 1});
    outgoing_.append({keysym, 0});
    sendNextEvent();
}

// The portal may handle calls on several threads, so a key event that is
// sent before the previous one is answered can overtake it: one at a time.
void PortalKeyInjector::sendNextEvent()
{
    if (eventInFlight_ || outgoing_.isEmpty() || state_ != State::Typing)
        return;
    const KeyEvent event = outgoing_.takeFirst();
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                          QStringLiteral("NotifyKeyboardKeysym"));
    message << QVariant::fromValue(QDBusObjectPath(sessionPath_)) << QVariantMap()
            << static_cast<int>(event.keysym) << event.state;
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
        fail(QStringLiteral("Tavlun can no longer type into other applications because the "
                            "desktop portal refused a key (%1); restart Tavlun")
                 .arg(error.name())
             + kMeanwhile + QLatin1Char('.'));
}

void PortalKeyInjector::onSessionClosed(const QVariantMap &)
{
    if (state_ == State::Failed)
        return;
    fail(QStringLiteral("Tavlun can no longer type into other applications because the desktop "
                        "ended its permission; restart Tavlun to be asked again")
         + kMeanwhile + QLatin1Char('.'));
}

void PortalKeyInjector::fail(const QString &problem)
{
    state_ = State::Failed;
    stopListening();
    report(problem);
}

void PortalKeyInjector::report(const QString &problem)
{
    if (onProblem)
        onProblem(problem.toStdString());
}

} // namespace tavlun::keystrokes
