#include "Session.h"
#include "app/SystemKeystrokes.h"
#include "tavlun/version.h"
#include "ui/DesktopShell.h"
#include "ui/MainWindow.h"
#include "ui/Translations.h"
#include "ui/TypingNotice.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTranslator>

#include <cstdio>


int main(int argc, char **argv)
{
    tavlun::keystrokes::choosePlatformPlugin();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavlun"));
    QApplication::setApplicationVersion(QString::fromLatin1(tavlun::kVersionString));
    QApplication::setDesktopFileName(QStringLiteral("org.example.Tavlun"));

    QCommandLineParser parser;
    // These texts and the manual page (packaging/tavlun.1.in) say the same.
    parser.setApplicationDescription(QStringLiteral(
        "Tavlun turns a mobile-phone keyboard accessory on a serial port into a keyboard\n"
        "for the PC.\n"
        "\n"
        "Port numbers 1 to 10 on Linux: first the devices given as arguments, in their\n"
        "order, then the serial devices of the system: USB adapters (ttyUSB*), USB\n"
        "modems (ttyACM*), Bluetooth (rfcomm*), built-in ports (ttyS*), each by number.\n"
        "On Windows port n is COMn.\n"
        "\n"
        "A port that will not open for lack of permission: join the group that owns\n"
        "the device (dialout on Debian), then log out and in. See tavlun(1)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("device"),
        QStringLiteral("A serial device, such as /dev/ttyUSB0, to number first: the devices "
                       "given become ports 1, 2, ... in their order."),
        QStringLiteral("[device...]"));
    parser.process(app);

    QTranslator translator;
    tavlun::ui::installQtTranslations(app, translator);

    QString unavailable;
    auto systemInjector = tavlun::keystrokes::createKeyInjector(&unavailable);
    tavlun::ui::TypingNotice injector(*systemInjector, unavailable);

    tavlun::ui::QtDesktopShell shell;
    tavlun::ui::MainWindow window(shell);
    tavlun::app::Session session(window, injector, parser.positionalArguments());
    injector.setParentWindow(&window);
    window.show();
    return app.exec();
}
