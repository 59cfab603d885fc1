#pragma once

#include <QString>

namespace tavlun::serial {

// Why a serial device did not open, as far as the system tells, and what the
// user can do about it. Texts are in the program's language.
struct PortDiagnosis {
    enum class Cause {
        Unknown,    // none of the below; `cause` holds the platform's words
        NotFound,   // no such device, and none was seen before
        Gone,       // the device was there and has gone (unplugged)
        Busy,       // another process holds it
        Permission, // this user may not read and write it
    };

    Cause kind = Cause::Unknown;
    QString cause;  // short: "başka bir program kullanıyor: minicom (pid 812)"
    QString advice; // the next step; may be empty

    // "cause. advice", for one line on standard error.
    QString sentence() const;
};

// Looks at `devicePath` after an open failed: whether it exists, whether this
// user may read and write it, and which other process holds it open or has
// locked it (/proc/*/fd, /var/lock/LCK..name). `wasPresent` tells a device
// that was listed before from one that never existed. `platformError` is
// what the serial port said, used when nothing else explains the failure.
PortDiagnosis diagnosePort(const QString &devicePath, bool wasPresent,
                           const QString &platformError = {});

// The notice for a device that went away while connected.
QString deviceLostText(const QString &devicePath);

} // namespace tavlun::serial
