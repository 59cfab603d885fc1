#pragma once

#include <QString>

namespace tavlun::serial {

// The group that owns a device file which this user may not read and write,
// the most common reason why a serial port does not open on Linux; empty
// when access is not refused (or the platform has no such notion).
QString refusedGroup(const QString &devicePath);

} // namespace tavlun::serial
