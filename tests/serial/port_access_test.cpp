#include "serial/PortAccess.h"
#include "ui/PortHelp.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tavlun;

TEST(PortAccess, NamesTheOwningGroupOnlyWhenAccessIsRefused)
{
    QTemporaryDir dir;
    const QString open = dir.filePath(QStringLiteral("open"));
    const QString closed = dir.filePath(QStringLiteral("closed"));
    for (const QString &path : {open, closed})
        ::close(::open(path.toLocal8Bit().constData(), O_CREAT | O_WRONLY, 0600));
    ::chmod(closed.toLocal8Bit().constData(), 0);

    EXPECT_TRUE(serial::refusedGroup(open).isEmpty());
    EXPECT_TRUE(serial::refusedGroup(dir.filePath(QStringLiteral("missing"))).isEmpty())
        << "a missing device is not a permission problem";
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may open anything: the refusal cannot be seen";
    const QString group = QString::fromLocal8Bit(::getgrgid(::getegid())->gr_name);
    EXPECT_EQ(serial::refusedGroup(closed), group);
}

TEST(PortHelp, ExplainsPermissionFirstThenTheLastFailure)
{
    const QList<serial::RefusedPort> refused{{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("dialout")},
                                             {QStringLiteral("/dev/ttyACM0"), QStringLiteral("dialout")}};
    const QString help = ui::portListHelp(0, refused, QStringLiteral("Permission denied"));
    EXPECT_TRUE(help.startsWith(QStringLiteral(
        "Açma izni olmayan portlar: /dev/ttyUSB0 (dialout grubu), /dev/ttyACM0 (dialout grubu).")))
        << help.toStdString();
    EXPECT_TRUE(help.contains(QStringLiteral("sudo usermod -aG dialout $USER")));
    EXPECT_TRUE(help.endsWith(QStringLiteral("Son bağlantı hatası: Permission denied")));
    EXPECT_FALSE(help.contains(QStringLiteral("bulunamadı"))) << "the refused ports exist";

    EXPECT_TRUE(ui::portListHelp(2, {}, QString()).isEmpty());
}
