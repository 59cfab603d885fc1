#include "DeviceIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tavlun::serial {

namespace {

QString readAttribute(const QDir &dir, const QString &name)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

// The identity of the terminal device that the kernel calls `name`: from
// its folder in sysfs up to the USB device that it belongs to.
QString ttyIdentity(const QString &name, const QString &sysfsRoot)
{
    const QString devices = QDir(sysfsRoot).canonicalPath() + QStringLiteral("/devices/");
    const QString start = QFileInfo(sysfsRoot + QStringLiteral("/class/tty/") + name).canonicalFilePath();
    QString interface;
    for (QDir dir(start); !start.isEmpty() && dir.absolutePath().startsWith(devices); dir.cdUp()) {
        if (interface.isEmpty() && QFileInfo::exists(dir.filePath(QStringLiteral("bInterfaceNumber"))))
            interface = readAttribute(dir, QStringLiteral("bInterfaceNumber"));
        if (!QFileInfo::exists(dir.filePath(QStringLiteral("idVendor"))))
            continue;
        const QString serial = readAttribute(dir, QStringLiteral("serial"));
        if (serial.isEmpty())
            return {}; // nothing tells it from another of its kind
        return QStringLiteral("usb %1:%2 %3 if%4")
            .arg(readAttribute(dir, QStringLiteral("idVendor")), readAttribute(dir, QStringLiteral("idProduct")),
                 serial, interface);
    }
    return {};
}

} // namespace

QString deviceIdentity(const QString &devicePath, const QString &sysfsRoot)
{
    // The kernel's name of the device is the name of the node that the
    // path leads to.
    const QString node = QFileInfo(devicePath).canonicalFilePath();
    return node.isEmpty() ? QString() : ttyIdentity(QFileInfo(node).fileName(), sysfsRoot);
}

QString deviceWithIdentity(const QString &identity, const QString &sysfsRoot)
{
    if (identity.isEmpty())
        return {};
    const QStringList names = QDir(sysfsRoot + QStringLiteral("/class/tty"))
                                  .entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        if (ttyIdentity(name, sysfsRoot) == identity)
            return QStringLiteral("/dev/") + name;
    }
    return {};
}

} // namespace tavlun::serial
