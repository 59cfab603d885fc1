#pragma once

#include "core/PortDiagnosis.h"

#include <QString>

namespace tavlun::serial {

// Looks at `devicePath` after an open failed: whether it exists, whether this
// user may read and write it, and which other process holds it open or has
// locked it (/proc/*/fd, /var/lock/LCK..name). `wasPresent` tells a device
// that was listed before from one that never existed. `platformError` is
// what the serial port said, used when nothing else explains the failure.
core::PortDiagnosis diagnosePort(const QString &devicePath, bool wasPresent,
                                 const QString &platformError = {});

} // namespace tavlun::serial
