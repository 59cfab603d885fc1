#include "DeviceWatch.h"

#include "PortDiagnosis.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>

namespace tavlun::serial {

DeviceWatch::DeviceWatch(const QStringList &namedDevices, QObject *parent)
    : QObject(parent), namedDevices_(namedDevices)
{
    constexpr int kSettleMs = 300;
    watchFolders();
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, &settle_,
            qOverload<>(&QTimer::start));
    // A folder made meanwhile is watched before anyone looks at the
    // devices: what appears in it later is told too.
    connect(&settle_, &QTimer::timeout, this, [this] {
        watchFolders();
        emit devicesChanged();
    });
}

void DeviceWatch::watchFolders()
{
    QSet<QString> folders{QStringLiteral("/dev")};
    for (const QString &device : std::as_const(namedDevices_)) {
        QString folder = QFileInfo(device).absolutePath();
        while (!QFileInfo(folder).isDir() && folder != QDir::rootPath())
            folder = QFileInfo(folder).absolutePath();
        folders.insert(folder);
    }
    const QStringList watched = watcher_.directories();
    for (const QString &folder : std::as_const(folders)) {
        if (!watched.contains(folder))
            watcher_.addPath(folder);
    }
}

DeviceWatch::~DeviceWatch()
{
    released_.reset();
    if (inotify_ >= 0)
        ::close(inotify_);
}

void DeviceWatch::watchForRelease(const QString &device)
{
    // Watched already: a watch made again could miss a release meanwhile.
    if (device == releasedDevice_)
        return;
    releasedDevice_ = device;
    if (inotify_ < 0 && !device.isEmpty()) {
        inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (inotify_ < 0)
            return; // then only the folders tell
        released_ = std::make_unique<QSocketNotifier>(inotify_, QSocketNotifier::Read);
        connect(released_.get(), &QSocketNotifier::activated, this, &DeviceWatch::releaseEvents);
    }
    for (const int watch : std::as_const(releaseWatches_))
        ::inotify_rm_watch(inotify_, watch);
    releaseWatches_.clear();
    if (device.isEmpty())
        return;
    // A failed open of a held device opens nothing, so the program's own
    // tries make none of these events.
    const auto add = [this](const QString &path, uint32_t events) {
        if (const int watch = ::inotify_add_watch(inotify_, QFile::encodeName(path).constData(), events); watch >= 0)
            releaseWatches_ << watch;
    };
    add(device, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE | IN_ATTRIB | IN_DELETE_SELF);
    for (const QString &lock : lockFilePaths(device))
        add(lock, IN_DELETE_SELF | IN_MOVE_SELF);
}

void DeviceWatch::releaseEvents()
{
    // Events are read whole; a watch removed tells IN_IGNORED, which is no change.
    alignas(inotify_event) char events[4096];
    bool changed = false;
    for (ssize_t n; (n = ::read(inotify_, events, sizeof events)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(events + at);
            changed = changed || !(event->mask & IN_IGNORED);
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    if (changed)
        settle_.start();
}

} // namespace tavlun::serial
