#include "DeviceWatch.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace tavlun::serial {

DeviceWatch::DeviceWatch(const QStringList &namedDevices, QObject *parent) : QObject(parent)
{
    constexpr int kSettleMs = 300;
    QSet<QString> folders{QStringLiteral("/dev")};
    for (const QString &device : namedDevices) {
        if (const QString folder = QFileInfo(device).absolutePath(); QFileInfo(folder).isDir())
            folders.insert(folder);
    }
    watcher_.addPaths(folders.values());
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, &settle_,
            qOverload<>(&QTimer::start));
    connect(&settle_, &QTimer::timeout, this, &DeviceWatch::devicesChanged);
}

} // namespace tavlun::serial
