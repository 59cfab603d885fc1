#include "DeviceWatch.h"

#include <QDir>
#include <QFileInfo>

namespace tavlun::serial {

DeviceWatch::DeviceWatch(const QStringList &namedDevices, QObject *parent) : QObject(parent)
{
    constexpr int kSettleMs = 300;
    QStringList folders{QStringLiteral("/dev")};
    for (const QString &device : namedDevices) {
        const QString folder = QFileInfo(device).absolutePath();
        if (!folders.contains(folder) && QFileInfo(folder).isDir())
            folders << folder;
    }
    watcher_.addPaths(folders);
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, &settle_,
            qOverload<>(&QTimer::start));
    connect(&settle_, &QTimer::timeout, this, &DeviceWatch::devicesChanged);
}

} // namespace tavlun::serial
