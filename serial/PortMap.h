#pragma once

#include <QString>
#include <QStringList>

namespace tavlun::serial {

// Which device stands for port number n (1 to 10). The map is empty until
// refresh() builds it: first the device paths given on the command line, in
// their order, then the serial devices that the platform lists, USB adapters
// first, then USB modems, Bluetooth serial and built-in ports, each group by
// number.
class PortMap {
public:
    static constexpr int kMaxPorts = 10;

    // A device named twice counts once, where it was first named.
    explicit PortMap(QStringList explicitDevices = {});

    // Rebuilds the map from the explicit devices and the platform's list.
    void refresh();
    // Rebuilds the map from the given platform device paths.
    void refreshFrom(const QStringList &systemPorts);

    // The device path of port `number`, or empty when none stands for it.
    QString deviceFor(int number) const;
    const QStringList &devices() const { return devices_; }
    // The devices given on the command line.
    const QStringList &explicitDevices() const { return explicit_; }
    // Those beyond the last port number, which none of them reaches.
    QStringList explicitWithoutNumber() const { return explicit_.mid(kMaxPorts); }

    // The platform devices in the order in which they are numbered.
    static QStringList orderedSystemPorts(QStringList systemPorts);

private:
    QStringList explicit_;
    QStringList devices_;
};

} // namespace tavlun::serial
