#pragma once

#include "core/PortDiagnosis.h"

#include <QString>
#include <QStringList>

namespace tavlun::serial {

// Looks at `devicePath` after an open failed: whether it exists, whether it
// is a serial device at all, whether this user may read and write it, and
// which other process holds it open as a terminal or has locked it
// (/proc/*/fd, /var/lock/LCK..name). `wasPresent` tells a device
// that was listed before from one that never existed. `platformError` is
// what the serial port said, used when nothing else explains the failure.
core::PortDiagnosis diagnosePort(const QString &devicePath, bool wasPresent,
                                 const QString &platformError = {});

// Where a program that holds `devicePath` may say so: the UUCP-style lock
// files ("LCK..ttyUSB0", "LCK..pts_3") in the lock folders.
QStringList lockFilePaths(const QString &devicePath);

} // namespace tavlun::serial
