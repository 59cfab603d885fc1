#include "SystemKeystrokes.h"

#include "keystrokes/portal/PortalKeyInjector.h"
#include "keystrokes/wayland/WaylandKeyInjector.h"
#include "keystrokes/x11/X11KeyInjector.h"

#include <QDBusConnection>

#include <cstdio>
#include <optional>

namespace tavlun::keystrokes {

namespace {

// Stands in when keys cannot be typed on this desktop.
class UnavailableKeyInjector final : public KeyInjector {
public:
    bool type(core::Key) override { return false; }
};

// Passes keys on, and tells the user at the first key what the backend
// cannot reach. It wraps only the X11 injector, which has no problems of its
// own to pass on.
class NoticeAtFirstKey final : public KeyInjector {
public:
    NoticeAtFirstKey(std::unique_ptr<KeyInjector> inner, QString notice)
        : inner_(std::move(inner)), notice_(std::move(notice))
    {
    }
    bool type(core::Key key) override
    {
        if (!notice_.isEmpty() && onProblem)
            onProblem(std::exchange(notice_, QString()).toStdString());
        return inner_->type(key);
    }
    void prepare() override { inner_->prepare(); }

private:
    std::unique_ptr<KeyInjector> inner_;
    QString notice_;
};

} // namespace

std::unique_ptr<KeyInjector> createKeyInjector(std::string *unavailableReason)
{
    SessionFacts facts = SessionFacts::fromEnvironment();
    std::unique_ptr<KeyInjector> virtualKeyboard;
    // The portal is probed once, here, where there is no virtual keyboard;
    // the injector takes what was found.
    std::optional<PortalInfo> portal;
    if (facts.isWayland()) {
        virtualKeyboard = openWaylandKeyInjector(QByteArray(), &facts.virtualKeyboardProblem);
        facts.virtualKeyboard = virtualKeyboard != nullptr;
        if (!facts.virtualKeyboard) {
            portal = PortalKeyInjector::probe(QDBusConnection::sessionBus());
            facts.remoteDesktopPortalVersion = int(portal->version);
        }
    }

    BackendChoice choice = chooseBackend(facts);
    std::unique_ptr<KeyInjector> injector;
    switch (choice.backend) {
    case Backend::VirtualKeyboard:
        injector = std::move(virtualKeyboard);
        break;
    case Backend::Portal:
        if (portal->problem.isEmpty()) {
            // KDE Plasma's portal maps keysyms through the first layout, not the one in use.
            injector = PortalKeyInjector::open(*portal, facts.isKde() ? PortalKeyInjector::Keys::AsKeycodes
                                                                      : PortalKeyInjector::Keys::AsKeysyms);
            break;
        }
        // The portal has a version but no keyboard: the session is treated
        // as one without it.
        facts.remoteDesktopPortalVersion = 0;
        choice = chooseBackend(facts);
        choice.why += QStringLiteral("; the desktop portal failed: ") + portal->problem;
        [[fallthrough]];
    case Backend::XTest:
    case Backend::XTestThroughXWayland:
        if (choice.backend != Backend::Unavailable) {
            QString reason;
            injector = openX11KeyInjector(QByteArray(), &reason);
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
            *unavailableReason = choice.why.toStdString();
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
