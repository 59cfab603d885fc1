#include "tavlun/version.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Tavlun    Ver. ") + QLatin1String(tavlun::kVersionString));
    window.show();
    return app.exec();
}
