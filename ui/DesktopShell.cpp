#include "DesktopShell.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>
#include <QVariantMap>

namespace tavlun::ui {

void QtDesktopShell::open(QWidget * /*parent*/, const QString &target)
{
    // The desktop picks the handler and places its window itself; the
    // parent has no say in that on Qt.
    QDesktopServices::openUrl(QUrl(target));
}

void QtDesktopShell::notify(const QString &summary, const QString &body)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The application's name and icon, no notification to replace, no
    // actions; the desktop entry lets the desktop show it as Tavlun's; it
    // stays until the desktop's own time runs out.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QGuiApplication::desktopFileName()}};
    call << QStringLiteral("Tavlun") << 0u << QStringLiteral("tavlun") << summary << body << QStringList()
         << hints << -1;
    // Not waited for: a desktop without the service answers with an error
    // that nobody needs.
    QDBusConnection::sessionBus().send(call);
}

} // namespace tavlun::ui
