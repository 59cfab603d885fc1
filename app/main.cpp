#include "CommandLine.h"
#include "Session.h"
#include "keystrokes/SystemKeystrokes.h"
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

    tavlun::keystrokes::choosePlatformPlugin();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavlun"));
    QApplication::setDesktopFileName(QStringLiteral("org.example.Tavlun"));

    QTranslator translator;
    tavlun::ui::installQtTranslations(app, translator);

    std::string unavailable;
    auto systemInjector = tavlun::keystrokes::createKeyInjector(&unavailable);
    tavlun::ui::TypingNotice injector(*systemInjector, unavailable);

    tavlun::ui::QtDesktopShell shell;
    tavlun::ui::MainWindow window(shell);
    tavlun::app::Session session(window, injector, commandLine.devices, commandLine.keptDevice);
    injector.setParentWindow(&window);
    if (commandLine.minimised)
        window.showMinimized();
    else
        window.show();
    return app.exec();
}
