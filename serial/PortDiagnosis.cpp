#include "PortDiagnosis.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <optional>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// True when the character device `rdev` is a terminal of some kind (a
// serial port, a pseudo-terminal, a console): the kernel's terminal drivers
// list the device numbers that they serve, one range per line ("serial
// /dev/ttyS 4 64-111 serial").
bool isTerminal(dev_t rdev)
{
    QFile drivers(QStringLiteral("/proc/tty/drivers"));
    if (!drivers.open(QIODevice::ReadOnly))
        return true; // cannot tell: taken for one, as before
    const QList<QByteArray> lines = drivers.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 4 || fields[2].toUInt() != major(rdev))
            continue;
        const QList<QByteArray> range = fields[3].split('-');
        const unsigned first = range.front().toUInt(), last = range.back().toUInt();
        if (minor(rdev) >= first && minor(rdev) <= last)
            return true;
    }
    return false;
}

// Why `info`, which is there, is no serial device at all; nothing when it
// may be one.
std::optional<PortDiagnosis> notSerial(const struct stat &info)
{
    const QString advice = QStringLiteral("Seri aygıtın yolunu verin, örneğin /dev/ttyUSB0.");
    if (S_ISDIR(info.st_mode))
        return diagnosis(Cause::NotSerial, QStringLiteral("bir klasör, aygıt değil"), advice);
    if (S_ISREG(info.st_mode))
        return diagnosis(Cause::NotSerial, QStringLiteral("seri aygıt değil, bir dosya"), advice);
    if (!S_ISCHR(info.st_mode) || !isTerminal(info.st_rdev))
        return diagnosis(Cause::NotSerial, QStringLiteral("seri aygıt değil"), advice);
    return std::nullopt;
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

// The living process, other than this one, named by a lock file of the
// device; 0 when there is none.
qint64 lockingProcess(const QString &devicePath)
{
    for (const QString &path : lockFilePaths(devicePath)) {
        QFile lock(path);
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

QStringList lockFilePaths(const QString &devicePath)
{
    QString name = devicePath;
    if (name.startsWith(u"/dev/"))
        name = name.mid(5);
    name.replace(u'/', u'_');
    return {QStringLiteral("/var/lock/LCK..") + name, QStringLiteral("/run/lock/LCK..") + name};
}

PortDiagnosis diagnosePort(const QString &devicePath, bool wasPresent, const QString &platformError)
{
    // What the system said, in its own words, where nothing else explains it.
    const PortDiagnosis unknown = diagnosis(
        Cause::Unknown, platformError.isEmpty() ? QStringLiteral("açılamadı")
                                                : QStringLiteral("açılamadı (%1)").arg(platformError));
    const QByteArray path = QFile::encodeName(devicePath);
    struct stat info {};
    const int statError = ::stat(path.constData(), &info) == 0 ? 0 : errno;
    // A device that the open did not find may have come since (an adapter
    // plugged in just then): it is named as the open found it, and the
    // device watch tries again.
    const auto said = [&](int error) { return platformError == QString::fromLocal8Bit(std::strerror(error)); };
    const bool absentAtOpen = said(ENOENT) || said(ENODEV) || said(ENXIO);
    if (statError != 0 || absentAtOpen) {
        if (statError != 0 && statError != ENOENT && statError != ENOTDIR && statError != ENODEV && statError != ENXIO)
            return diagnosis(Cause::Unknown,
                             QStringLiteral("açılamadı (%1)").arg(QString::fromLocal8Bit(std::strerror(statError))));
        if (wasPresent)
            return diagnosis(Cause::Gone, QStringLiteral("aygıt artık yok (çıkarılmış olabilir)"),
                             QStringLiteral("Aygıtı takıp portu yeniden seçin."));
        return diagnosis(Cause::NotFound, QStringLiteral("böyle bir aygıt yok"),
                         QStringLiteral("Aygıtın yolunu denetleyin."));
    }
    if (std::optional<PortDiagnosis> kind = notSerial(info))
        return *kind;
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return permissionProblem(info);

    // A terminal, so those that have it open hold it as one.
    QList<qint64> pids = processesHolding(info.st_rdev);
    if (const qint64 locker = lockingProcess(devicePath); locker && !pids.contains(locker))
        pids.prepend(locker);
    QStringList holders;
    for (const qint64 pid : pids) {
        const QString name = processName(pid);
        holders << (name.isEmpty() ? QStringLiteral("pid %1").arg(pid)
                                   : QStringLiteral("%1 (pid %2)").arg(name).arg(pid));
    }
    if (!holders.isEmpty())
        return diagnosis(Cause::Busy,
                         QStringLiteral("başka bir program kullanıyor: %1").arg(holders.join(u", ")),
                         QStringLiteral("O programı kapatıp portu yeniden seçin."));
    return unknown;
}

} // namespace tavlun::serial
