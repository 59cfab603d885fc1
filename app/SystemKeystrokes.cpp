#include "SystemKeystrokes.h"

#include "link/portal/PortalKeyInjector.h"
#include "link/wayland/WaylandKeyInjector.h"
#include "link/x11/X11KeyInjector.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include <cstdio>

namespace tavlun::keystrokes {

namespace {

// Stands in when keys cannot be typed on this desktop.
class UnavailableKeyInjector final : public link::KeyInjector {
public:
    bool sendKeys(const QString &) override { return false; }
};

// Passes keys on, and tells the user at the first key what the backend
// cannot reach.
class NoticeAtFirstKey final : public link::KeyInjector {
public:
    NoticeAtFirstKey(std::unique_ptr<link::KeyInjector> inner, QString notice)
        : inner_(std::move(inner)), notice_(std::move(notice))
    {
        inner_->onProblem = [this](const QString &problem) {
            if (onProblem)
                onProblem(problem);
        };
    }
    bool sendKeys(const QString &keyString) override
    {
        if (!notice_.isEmpty() && onProblem)
            onProblem(std::exchange(notice_, QString()));
        return inner_->sendKeys(keyString);
    }
    void prepare() override { inner_->prepare(); }

private:
    std::unique_ptr<link::KeyInjector> inner_;
    QString notice_;
};

// The version of the desktop portal's RemoteDesktop interface, 0 when the
// session bus or the portal or the interface is missing.
int remoteDesktopPortalVersion()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return 0;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << QStringLiteral("org.freedesktop.portal.RemoteDesktop") << QStringLiteral("version");
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return 0;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toInt();
}

} // namespace

std::unique_ptr<link::KeyInjector> createKeyInjector(QString *unavailableReason)
{
    SessionFacts facts = SessionFacts::fromEnvironment();
    std::unique_ptr<link::KeyInjector> virtualKeyboard;
    if (facts.isWayland()) {
        link::WaylandKeyInjector::Failure failure{};
        virtualKeyboard = link::WaylandKeyInjector::open(QByteArray(), &failure, &facts.virtualKeyboardProblem);
        facts.virtualKeyboard = virtualKeyboard != nullptr;
        if (!facts.virtualKeyboard)
            facts.remoteDesktopPortalVersion = remoteDesktopPortalVersion();
    }

    BackendChoice choice = chooseBackend(facts);
    std::unique_ptr<link::KeyInjector> injector;
    switch (choice.backend) {
    case Backend::VirtualKeyboard:
        injector = std::move(virtualKeyboard);
        break;
    case Backend::Portal: {
        QString reason;
        injector = link::PortalKeyInjector::open(&reason);
        if (injector)
            break;
        // The portal answered the probe but not the injector: the session
        // is treated as one without it.
        facts.remoteDesktopPortalVersion = 0;
        choice = chooseBackend(facts);
        choice.why += QStringLiteral("; the desktop portal failed: ") + reason;
        [[fallthrough]];
    }
    case Backend::XTest:
    case Backend::XTestThroughXWayland:
        if (choice.backend != Backend::Unavailable) {
            QString reason;
            injector = link::X11KeyInjector::open(QByteArray(), &reason);
            if (!injector)
                choice = {Backend::Unavailable, choice.why + QStringLiteral("; ") + reason, {}};
        }
        break;
    case Backend::Unavailable:
        break;
    }

    if (!injector) {
        std::fprintf(stderr, "tavlun: typing into other applications is unavailable: %s\n",
                     qPrintable(choice.why));
        if (unavailableReason)
            *unavailableReason = choice.why;
        return std::make_unique<UnavailableKeyInjector>();
    }
    std::fprintf(stderr, "tavlun: typing into other applications through %s: %s\n",
                 backendName(choice.backend), qPrintable(choice.why));
    if (unavailableReason)
        unavailableReason->clear();
    if (!choice.notice.isEmpty())
        return std::make_unique<NoticeAtFirstKey>(std::move(injector), choice.notice);
    return injector;
}

void choosePlatformPlugin()
{
    const QByteArray platform = preferredQtPlatform(SessionFacts::fromEnvironment(), qgetenv("QT_QPA_PLATFORM"));
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}

} // namespace tavlun::keystrokes
