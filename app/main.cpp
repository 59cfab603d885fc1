#include "CommandLine.h"
#include "DisplayLoss.h"
#include "Session.h"
#include "TerminationSignals.h"
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

    tavlun::ui::QtDesktopShell shell;
    tavlun::ui::MainWindow window(shell);
    std::string unavailable;
    auto systemInjector = tavlun::keystrokes::createKeyInjector(&unavailable);
    tavlun::ui::TypingNotice injector(*systemInjector, window, shell, unavailable);
    tavlun::app::Session session(window, injector, commandLine.devices, commandLine.keptDevice);

    // A logout, `systemctl --user stop`, Ctrl+C or a closed terminal ends
    // the program as closing its window does, with status 0; so does the
    // loss of the display, as far as Qt lets it.
    tavlun::app::TerminationSignals termination;
    QObject::connect(&termination, &tavlun::app::TerminationSignals::received, &app, [&session] {
        session.close();
        QCoreApplication::exit(0);
    });
    const tavlun::app::DisplayLossCleanUp displayLoss([&session] { session.stop(); });

    if (commandLine.minimised)
        window.showMinimized();
    else
        window.show();
    return app.exec();
}
