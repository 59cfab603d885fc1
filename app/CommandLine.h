#pragma once

#include <QStringList>

#include <optional>

namespace tavlun::app {

// The command line, read before any window system is opened: --help,
// --version and a wrong option end the program here, with no display
// needed. Qt's own window-system options (-platform, -display, ...) are
// accepted and left for QApplication.
struct CommandLine {
    QStringList devices;          // serial devices to number first
    QString keptDevice;           // --connect: the device to keep connected; empty for none
    bool minimised = false;       // --minimised: the window starts minimised
    std::optional<int> exitCode;  // set: the program ends with it
};

// Reads `arguments` (the program's name first); prints help, version or an
// error itself, on stdout or stderr.
CommandLine readCommandLine(const QStringList &arguments);

} // namespace tavlun::app
