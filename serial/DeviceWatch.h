#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace tavlun::serial {

// Tells when serial devices may have come or gone: the kernel reports
// changes of the folders that hold them (/dev, and the folder of each device
// named on the command line), so nothing is polled. A burst of changes, as
// udev makes a device node and its links, is told once it has settled.
class DeviceWatch final : public QObject {
    Q_OBJECT

public:
    explicit DeviceWatch(const QStringList &namedDevices, QObject *parent = nullptr);

signals:
    void devicesChanged();

private:
    QFileSystemWatcher watcher_;
    QTimer settle_;
};

} // namespace tavlun::serial
