#pragma once

#include <QString>

namespace tavlun::serial {

// What tells a USB serial device from every other, whatever name the system
// gives it at each plugging in: its vendor and product ids, its serial
// number and, for adapters with several ports, the interface of the port
// ("usb 0403:6001 A50285BI if00"). Read from sysfs under `sysfsRoot`.

// The identity of the serial device at `devicePath` (links such as
// /dev/serial/by-id/... are followed); empty when it is not there, is not a
// USB device or has no serial number.
QString deviceIdentity(const QString &devicePath, const QString &sysfsRoot = QStringLiteral("/sys"));

// The serial device ("/dev/ttyUSB1") whose identity is `identity`; empty when
// none of those present has it.
QString deviceWithIdentity(const QString &identity, const QString &sysfsRoot = QStringLiteral("/sys"));

} // namespace tavlun::serial
