#include "CommandLine.h"

#include "tavlun/version.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

namespace tavlun::app {

namespace {

// Options that QGuiApplication and QApplication take out of the command
// line themselves; a value name marks those that take a value.
struct QtOption {
    const char *name;
    const char *valueName;
    const char *description;
};

const QtOption kQtOptions[] = {
    {"platform", "platformName[:options]", "QPA plugin to use, such as xcb or wayland."},
    {"platformpluginpath", "path", "Path to the platform plugins."},
    {"platformtheme", "theme", "Platform theme."},
    {"plugin", "plugin", "Additional plugins to load; may be given more than once."},
    {"qwindowgeometry", "geometry", "Geometry of the main window."},
    {"qwindowicon", "icon", "Default window icon."},
    {"qwindowtitle", "title", "Title of the first window."},
    {"reverse", nullptr, "Right-to-left layout."},
    {"session", "session", "Session to restore."},
    {"display", "display", "X display to use (xcb only)."},
    {"name", "name", "Instance name in WM_CLASS (xcb only)."},
    {"style", "style", "Widget style."},
    {"stylesheet", "stylesheet", "Style sheet."},
    {"widgetcount", nullptr, "Print the number of widgets at exit."},
};

// These texts and the manual page (packaging/tavlun.1.in) say the same.
const char kDescription[] =
    "Tavlun turns a mobile-phone keyboard accessory on a serial port into a keyboard\n"
    "for the PC.\n"
    "\n"
    "Port numbers 1 to 10 on Linux: first the devices given as arguments, in their\n"
    "order, then the serial devices of the system: USB adapters (ttyUSB*), USB\n"
    "modems (ttyACM*), Bluetooth (rfcomm*), built-in ports (ttyS*), each by number.\n"
    "On Windows port n is COMn.\n"
    "\n"
    "Why a port is missing from the list, or would not open, is written to standard\n"
    "error and shown in the port list's tooltip.\n"
    "\n"
    "To type as soon as the adapter is plugged in: tavlun --connect DEVICE --minimised.\n"
    "See tavlun(1).";

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// A command line that is not understood: says why, and the program ends with status 2.
CommandLine refused(const QString &why)
{
    print(stderr, QStringLiteral("tavlun: %1\nTry 'tavlun --help' for more information.\n").arg(why));
    CommandLine result;
    result.exitCode = 2;
    return result;
}

} // namespace

CommandLine readCommandLine(const QStringList &arguments)
{
    const bool all = arguments.contains(QStringLiteral("--help-all"));

    QCommandLineParser parser;
    // "-platform xcb" is one option, as QApplication reads it, not six.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on commandline options."));
    const QCommandLineOption helpAll(QStringLiteral("help-all"),
                                     QStringLiteral("Displays help including Qt specific options."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Displays version information."));
    const QCommandLineOption connect(
        {QStringLiteral("c"), QStringLiteral("connect")},
        QStringLiteral("Connect to <device> at once, without asking; if it is not there yet, as soon as "
                       "it is plugged in, and again after every unplug (a USB adapter is recognised by "
                       "its serial number under a new name too)."),
        QStringLiteral("device"));
    const QCommandLineOption minimised(
        QStringLiteral("minimised"),
        QStringLiteral("Start with the window minimised, so that the keys go to the application that "
                       "has the keyboard focus from the first one."));
    parser.addOptions({help, helpAll, version, connect, minimised});
    for (const QtOption &qt : kQtOptions) {
        QCommandLineOption option(QString::fromLatin1(qt.name), QString::fromLatin1(qt.description),
                                  QString::fromLatin1(qt.valueName));
        if (!all)
            option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    parser.addPositionalArgument(
        QStringLiteral("device"),
        QStringLiteral("A serial device, such as /dev/ttyUSB0, to number first: the devices "
                       "given become ports 1, 2, ... in their order."),
        QStringLiteral("[device...]"));

    CommandLine result;
    if (!parser.parse(arguments))
        return refused(parser.errorText());
    if (parser.isSet(help) || parser.isSet(helpAll)) {
        print(stdout, parser.helpText());
        result.exitCode = 0;
        return result;
    }
    if (parser.isSet(version)) {
        print(stdout, QStringLiteral("tavlun %1\n").arg(QString::fromLatin1(kVersionString)));
        result.exitCode = 0;
        return result;
    }
    const QStringList kept = parser.values(connect);
    if (kept.size() > 1)
        return refused(QStringLiteral("--connect given %1 times (%2): Tavlun keeps one device connected.")
                           .arg(kept.size())
                           .arg(kept.join(QStringLiteral(", "))));
    if (!kept.isEmpty() && (kept.front().isEmpty() || kept.front().startsWith(u'-')))
        return refused(QStringLiteral("--connect needs the path of a serial device, such as /dev/ttyUSB0, "
                                      "not '%1'.")
                           .arg(kept.front()));
    // The device kept connected is port 1; the folder of a relative path
    // is watched where it is now.
    if (!kept.isEmpty())
        result.keptDevice = QFileInfo(kept.front()).absoluteFilePath();
    result.devices = parser.positionalArguments();
    if (!kept.isEmpty())
        result.devices.prepend(result.keptDevice);
    result.minimised = parser.isSet(minimised);
    return result;
}

} // namespace tavlun::app
