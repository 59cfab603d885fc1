#include "SystemKeystrokes.h"

#include "link/portal/PortalKeyInjector.h"
#include "link/wayland/WaylandKeyInjector.h"
#include "link/x11/X11KeyInjector.h"

#include <QDBusConnection>

#include <cstdio>

namespace tavlun::keystrokes {

namespace {

// Stands in when keys cannot be typed on this desktop.
class UnavailableKeyInjector final : public link::KeyInjector {
public:
    bool sendKeys(const QString &) override { return false; }
};

// Passes keys on, and tells the user at the first key what the backend
// cannot reach. It wraps only the X11 injector, which has no problems of its
// own to pass on.
class NoticeAtFirstKey final : public link::KeyInjector {
public:
    NoticeAtFirstKey(std::unique_ptr<link::KeyInjector> inner, QString notice)
        : inner_(std::move(inner)), notice_(std::move(notice))
    {
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

} // namespace

std::unique_ptr<link::KeyInjector> createKeyInjector(QString *unavailableReason)
{
    SessionFacts facts = SessionFacts::fromEnvironment();
    std::unique_ptr<link::KeyInjector> virtualKeyboard;
    // The portal is probed once, here; the injector takes what was found.
    link::PortalInfo portal;
    bool portalUsable = false;
    QString portalProblem;
    if (facts.isWayland()) {
        link::WaylandKeyInjector::Failure failure{};
        virtualKeyboard = link::WaylandKeyInjector::open(QByteArray(), &failure, &facts.virtualKeyboardProblem);
        facts.virtualKeyboard = virtualKeyboard != nullptr;
        if (!facts.virtualKeyboard) {
            portalUsable = link::PortalKeyInjector::probe(QDBusConnection::sessionBus(), &portal,
                                                          &portalProblem);
            facts.remoteDesktopPortalVersion = int(portal.version);
        }
    }

    BackendChoice choice = chooseBackend(facts);
    std::unique_ptr<link::KeyInjector> injector;
    switch (choice.backend) {
    case Backend::VirtualKeyboard:
        injector = std::move(virtualKeyboard);
        break;
    case Backend::Portal:
        if (portalUsable) {
            injector = link::PortalKeyInjector::open(portal);
            break;
        }
        // The portal has a version but no keyboard: the session is treated
        // as one without it.
        facts.remoteDesktopPortalVersion = 0;
        choice = chooseBackend(facts);
        choice.why += QStringLiteral("; the desktop portal failed: ") + portalProblem;
        [[fallthrough]];
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
