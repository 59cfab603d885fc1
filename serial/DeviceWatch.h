#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>

class QSocketNotifier;

namespace tavlun::serial {

// Tells when serial devices may have come or gone: the kernel reports
// changes of the folders that hold them (/dev, and the folder of each device
// named on the command line, or the nearest folder above it that exists
// until it does, as /dev/serial/by-id/ is made at the first USB serial
// adapter), so nothing is polled. A burst of changes, as udev makes a device
// node and its links, is told once it has settled.
class DeviceWatch final : public QObject {
    Q_OBJECT

public:
    explicit DeviceWatch(const QStringList &namedDevices, QObject *parent = nullptr);
    ~DeviceWatch() override;

    // Also tells when another program may have let `device` go: when a
    // program closes it, when its lock file goes, when its permissions
    // change. Replaces the device watched before; empty: none.
    void watchForRelease(const QString &device);

signals:
    void devicesChanged();

private:
    // Watches the folders that hold the named devices, as far as they exist.
    void watchFolders();
    void releaseEvents();

    QStringList namedDevices_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
    int inotify_ = -1; // the watch for a release, made at its first use
    std::unique_ptr<QSocketNotifier> released_;
    QList<int> releaseWatches_;
    QString releasedDevice_; // the device watched for its release
};

} // namespace tavlun::serial
