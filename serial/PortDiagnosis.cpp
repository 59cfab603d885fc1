#include "PortDiagnosis.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavlun::serial {

namespace {

using core::PortDiagnosis;
using Cause = PortDiagnosis::Cause;

// A diagnosis from the texts made here.
PortDiagnosis diagnosis(Cause kind, const QString &cause, const QString &advice = {})
{
    return {kind, cause.toStdString(), advice.toStdString()};
}

// Where the udev rule that the package ships is installed.
const QString kUdevRule = QStringLiteral("/usr/share/doc/tavlun/examples/90-tavlun-serial-adapter.rules");

// "crw-rw----", as ls shows it.
QString modeText(mode_t mode)
{
    QString text = S_ISCHR(mode) ? QStringLiteral("c") : QStringLiteral("-");
    const char marks[] = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit)
        text += (mode & (0400 >> bit)) ? QChar::fromLatin1(marks[bit]) : QChar(u'-');
    return text;
}

QString userName(uid_t uid)
{
    if (const passwd *user = ::getpwuid(uid))
        return QString::fromLocal8Bit(user->pw_name);
    return QString::number(uid);
}

QString groupName(gid_t gid)
{
    if (const group *owner = ::getgrgid(gid))
        return QString::fromLocal8Bit(owner->gr_name);
    return QString::number(gid);
}

QString processName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

// Processes other than this one that have the character device `rdev` open.
QList<qint64> processesHolding(dev_t rdev)
{
    QList<qint64> holders;
    const qint64 self = ::getpid();
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : pids) {
        bool numeric = false;
        const qint64 pid = name.toLongLong(&numeric);
        if (!numeric || pid == self)
            continue;
        // Only the processes whose descriptors this user may see.
        const QString fdDir = QStringLiteral("/proc/%1/fd").arg(pid);
        const QStringList fds = QDir(fdDir).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &fd : fds) {
            struct stat info {};
            if (::stat(QFile::encodeName(fdDir + u'/' + fd).constData(), &info) == 0
                && S_ISCHR(info.st_mode) && info.st_rdev == rdev) {
                holders << pid;
                break;
            }
        }
    }
    return holders;
}

// The living process, other than this one, named by a UUCP-style lock file
// of the device ("LCK..ttyUSB0", "LCK..pts_3"); 0 when there is none.
qint64 lockingProcess(const QString &devicePath)
{
    QString name = devicePath;
    if (name.startsWith(u"/dev/"))
        name = name.mid(5);
    name.replace(u'/', u'_');
    for (const QString &dir : {QStringLiteral("/var/lock"), QStringLiteral("/run/lock")}) {
        QFile lock(dir + QStringLiteral("/LCK..") + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        // The pid comes first, as text (binary lock files are long gone).
        // split() always gives at least one (possibly empty) word.
        const qint64 pid = lock.read(128).simplified().split(' ').front().toLongLong();
        if (pid > 0 && pid != ::getpid() && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
            return pid;
    }
    return 0;
}

PortDiagnosis permissionProblem(const struct stat &info)
{
    const QString mode = modeText(info.st_mode);
    const QString group = groupName(info.st_gid);
    if ((info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
        return diagnosis(
            Cause::Permission, QStringLiteral("açma izni yok (aygıt %1 grubunun, izinler %2)").arg(group, mode),
                QStringLiteral("Gruba katılın: sudo usermod -aG %1 $USER, sonra oturumu kapatıp "
                               "yeniden açın.")
                    .arg(group));
    }
    return diagnosis(Cause::Permission,
            QStringLiteral("açma izni yok: aygıtı yalnızca sahibi (%1) okuyup yazabilir "
                           "(izinler %2)")
                .arg(userName(info.st_uid), mode),
            QStringLiteral("Bir gruba katılmak yetmez. Paketteki udev kuralı dönüştürücüyü "
                           "dialout grubuna verir: %1")
                .arg(kUdevRule));
}

} // namespace

PortDiagnosis diagnosePort(const QString &devicePath, bool wasPresent, const QString &platformError)
{
    const PortDiagnosis unknown =
        diagnosis(Cause::Unknown, platformError.isEmpty() ? QStringLiteral("açılamadı") : platformError);
    const QByteArray path = QFile::encodeName(devicePath);
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        if (errno != ENOENT && errno != ENOTDIR && errno != ENODEV && errno != ENXIO)
            return diagnosis(Cause::Unknown, QString::fromLocal8Bit(std::strerror(errno)));
        if (wasPresent)
            return diagnosis(Cause::Gone, QStringLiteral("aygıt artık yok (çıkarılmış olabilir)"),
                             QStringLiteral("Aygıtı takıp portu yeniden seçin."));
        return diagnosis(Cause::NotFound, QStringLiteral("böyle bir aygıt yok"),
                         QStringLiteral("Aygıtın yolunu denetleyin."));
    }
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return permissionProblem(info);

    QStringList holders;
    if (S_ISCHR(info.st_mode)) {
        QList<qint64> pids = processesHolding(info.st_rdev);
        if (const qint64 locker = lockingProcess(devicePath); locker && !pids.contains(locker))
            pids.prepend(locker);
        for (const qint64 pid : pids) {
            const QString name = processName(pid);
            holders << (name.isEmpty() ? QStringLiteral("pid %1").arg(pid)
                                       : QStringLiteral("%1 (pid %2)").arg(name).arg(pid));
        }
    }
    if (!holders.isEmpty())
        return diagnosis(Cause::Busy,
                         QStringLiteral("başka bir program kullanıyor: %1").arg(holders.join(u", ")),
                         QStringLiteral("O programı kapatıp portu yeniden seçin."));
    return unknown;
}

} // namespace tavlun::serial
