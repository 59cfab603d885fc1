#include "CommandLine.h"
#include "link/x11/SystemKeyInjector.h"
#include "serial/PortMap.h"
#include "serial/QtSerialPort.h"
#include "tavlun/version.h"
#include "ui/DesktopShell.h"
#include "ui/MainWindow.h"
#include "ui/Translations.h"
#include "ui/TypingNotice.h"

#include <QApplication>
#include <QTranslator>

#include <cstdio>


int main(int argc, char **argv)
{
    // The command line first, with no window system: --help and --version
    // work over ssh and in scripts.
    tavlun::app::CommandLine commandLine;
    {
        QCoreApplication reader(argc, argv);
        commandLine = tavlun::app::readCommandLine(QCoreApplication::arguments());
    }
    if (commandLine.exitCode)
        return *commandLine.exitCode;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavlun"));
    QApplication::setApplicationVersion(QString::fromLatin1(tavlun::kVersionString));
    QApplication::setDesktopFileName(QStringLiteral("org.example.Tavlun"));

    QTranslator translator;
    tavlun::ui::installQtTranslations(app, translator);

    QString unavailable;
    auto systemInjector = tavlun::link::createSystemKeyInjector(&unavailable);
    if (!unavailable.isEmpty())
        std::fprintf(stderr, "tavlun: typing into other applications is unavailable: %s\n",
                     qPrintable(unavailable));
    tavlun::ui::TypingNotice injector(*systemInjector, unavailable);

    tavlun::serial::PortMap map(commandLine.devices);
    tavlun::serial::QtSerialPort port(map);
    tavlun::ui::QtDesktopShell shell;
    tavlun::ui::MainWindow window(port, &map, injector, shell);
    injector.setParentWindow(&window);
    window.show();
    return app.exec();
}
