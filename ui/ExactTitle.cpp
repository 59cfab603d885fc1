#include "ExactTitle.h"

#include <QGuiApplication>
#include <QWidget>

namespace tavlun::ui {

void createWithExactTitle(QWidget &widget)
{
    // The platform window takes its title when it is created, formatting it
    // with the display name; an empty display name adds nothing.
    const QString displayName = QGuiApplication::applicationDisplayName();
    if (displayName == QCoreApplication::applicationName()) {
        // No display name of its own: nothing is appended, and restoring it
        // would set one.
        widget.winId();
        return;
    }
    QGuiApplication::setApplicationDisplayName(QString());
    widget.winId();
    QGuiApplication::setApplicationDisplayName(displayName);
}

} // namespace tavlun::ui
