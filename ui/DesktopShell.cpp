#include "DesktopShell.h"

#include <QDesktopServices>
#include <QUrl>

namespace tavlun::ui {

void QtDesktopShell::open(QWidget * /*parent*/, const QString &target)
{
    // The desktop picks the handler and places its window itself; the
    // parent has no say in that on Qt.
    QDesktopServices::openUrl(QUrl(target));
}

} // namespace tavlun::ui
