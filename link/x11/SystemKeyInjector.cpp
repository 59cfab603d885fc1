#include "SystemKeyInjector.h"

#include "X11KeyInjector.h"

#include <QtGlobal>

namespace tavlun::link {

namespace {

// Stands in when keys cannot be typed on this desktop.
class UnavailableKeyInjector final : public KeyInjector {
public:
    bool sendKeys(const QString &) override { return false; }
};

} // namespace

std::unique_ptr<KeyInjector> createSystemKeyInjector(QString *unavailableReason)
{
    QString reason;
    std::unique_ptr<KeyInjector> injector;
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        reason = qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
            ? QStringLiteral("no X display (DISPLAY is not set)")
            : QStringLiteral("a Wayland session without X11 (DISPLAY is not set); "
                             "typing into other applications needs X11");
    } else {
        injector = X11KeyInjector::open(QByteArray(), &reason);
    }
    if (!injector)
        injector = std::make_unique<UnavailableKeyInjector>();
    else
        reason.clear();
    if (unavailableReason)
        *unavailableReason = reason;
    return injector;
}

} // namespace tavlun::link
