#include "link/x11/SystemKeyInjector.h"
#include "serial/PortMap.h"
#include "serial/QtSerialPort.h"
#include "tavlun/version.h"
#include "ui/DesktopShell.h"
#include "ui/MainWindow.h"
#include "ui/TypingNotice.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

namespace {

// Qt's own translations, so that standard buttons (Yes, No, OK) appear in
// the user's language.
void installQtTranslations(QApplication &app, QTranslator &translator)
{
    if (translator.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&translator);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavlun"));
    QApplication::setApplicationVersion(QString::fromLatin1(tavlun::kVersionString));
    QApplication::setDesktopFileName(QStringLiteral("tavlun"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Turns a mobile-phone keyboard accessory on a serial port into a keyboard."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("devices"),
        QStringLiteral("Serial devices to offer first, as ports 1, 2, ... (Linux and other Unix "
                       "systems); the serial devices of the system follow them."),
        QStringLiteral("[device...]"));
    parser.process(app);

    QTranslator translator;
    installQtTranslations(app, translator);

    QString unavailable;
    auto systemInjector = tavlun::link::createSystemKeyInjector(&unavailable);
    if (!unavailable.isEmpty())
        std::fprintf(stderr, "tavlun: typing into other applications is unavailable: %s\n",
                     qPrintable(unavailable));
    tavlun::ui::TypingNotice injector(*systemInjector, unavailable);

    tavlun::serial::PortMap map(parser.positionalArguments());
    tavlun::serial::QtSerialPort port(map);
    tavlun::ui::QtDesktopShell shell;
    tavlun::ui::MainWindow window(port, &map, injector, shell);
    injector.setParentWindow(&window);
    window.show();
    return app.exec();
}
