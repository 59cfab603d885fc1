#include "PortAccess.h"

#ifndef Q_OS_WIN
#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavlun::serial {

QString refusedGroup(const QString &devicePath)
{
#ifdef Q_OS_WIN
    Q_UNUSED(devicePath);
    return {};
#else
    const QByteArray path = devicePath.toLocal8Bit();
    if (::access(path.constData(), R_OK | W_OK) == 0 || errno != EACCES)
        return {};
    struct stat info {};
    if (::stat(path.constData(), &info) != 0)
        return {};
    if (const group *owner = ::getgrgid(info.st_gid))
        return QString::fromLocal8Bit(owner->gr_name);
    return QString::number(info.st_gid);
#endif
}

} // namespace tavlun::serial
