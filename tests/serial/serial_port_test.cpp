// The serial port on a real pseudo-terminal, the numbering of ports, why a
// device does not open, what identifies a USB adapter, and the watch for a
// held device's release.
#include "serial/DeviceIdentity.h"
#include "serial/DeviceWatch.h"
#include "serial/PortDiagnosis.h"
#include "serial/PortMap.h"
#include "serial/SerialPort.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace tavlun;

namespace {

// Runs the event loop until `done` holds, for ten seconds at most. It polls:
// the far side of a pseudo-terminal raises no events in this process.
template <typename Condition> bool waitFor(Condition done) { return QTest::qWaitFor(done, 10000); }

// A pseudo-terminal in raw mode: the port opens the device, the test plays
// the accessory on the controller side.
struct Pty {
    int controller = -1, device = -1;
    QString path;
    Pty()
    {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&controller, &device, name, &raw, nullptr) == 0)
            path = QString::fromLocal8Bit(name);
        fcntl(controller, F_SETFL, O_NONBLOCK);
    }
    ~Pty() { hangUp(); }
    void hangUp() { ::close(controller); ::close(device); controller = device = -1; } // closing -1 does nothing
    bool write(const QByteArray &bytes) { return ::write(controller, bytes.data(), size_t(bytes.size())) == bytes.size(); }
    QByteArray read(qsizetype count)
    {
        QByteArray got;
        (void)waitFor([&] {
            char buffer[4096];
            if (const ssize_t n = ::read(controller, buffer, sizeof buffer); n > 0)
                got.append(buffer, n);
            return got.size() >= count;
        });
        return got;
    }
};

TEST(SerialPort, CarriesBytesBothWaysAndReportsAHangUpOnce)
{
    Pty pty;
    pty.write("stale");
    serial::SerialPort port;
    QByteArray received;
    int lost = 0;
    QObject::connect(&port, &serial::SerialPort::received, [&](const QByteArray &b) { received += b; });
    QObject::connect(&port, &serial::SerialPort::deviceLost, [&] { ++lost; });
    serial::SerialPort other;
    EXPECT_FALSE(other.open(QStringLiteral("/dev/tavlun-missing")));
    EXPECT_FALSE(other.lastErrorText().isEmpty()) << "a failed open keeps no reason";
    termios line{};
    cfsetspeed(&line, B38400);
    line.c_cflag |= CS7 | PARENB | CSTOPB | CRTSCTS;
    tcsetattr(pty.device, TCSANOW, &line);
    ASSERT_TRUE(port.open(pty.path)) << port.lastErrorText().toStdString();
    tcgetattr(pty.device, &line);
    EXPECT_EQ(cfgetospeed(&line), speed_t(B9600));
    EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8)) << "8 data bits, no parity, 1 stop bit, no flow control";

    const QByteArray all = QByteArray("AT\r\n\0\x7F\x80\xC7\xFF", 9);
    ASSERT_TRUE(pty.write(all));
    EXPECT_TRUE(waitFor([&] { return received.size() >= all.size(); }));
    EXPECT_EQ(received, all) << "bytes buffered before open() must not be read";
    port.write(QByteArray("OK\r\n\xC7", 5));
    EXPECT_EQ(pty.read(5), QByteArray("OK\r\n\xC7", 5));
    port.write(QByteArray(1 << 20, 'x')); // more than the terminal holds: most of it waits
    port.close();
    ASSERT_TRUE(port.open(pty.path));
    for (char junk[4096]; ::read(pty.controller, junk, sizeof junk) > 0;) {} // what the terminal held
    port.write("AT");
    EXPECT_EQ(pty.read(2), "AT") << "what the last connection left unsent went to the next";

    pty.hangUp();
    EXPECT_TRUE(waitFor([&] { return lost > 0; })) << "no deviceLost after hang-up";
    QTest::qWait(100); // Qt reports the hang-up again at every turn of the event loop
    EXPECT_EQ(lost, 1);
}

TEST(PortMap, CommandLineDevicesComeFirstThenPlatformPortsByFamilyAndNumberUpToTen)
{
    serial::PortMap map({"/tmp/virtual", "/dev/ttyUSB1", "/tmp/virtual"});
    map.refreshFrom({"/dev/ttyS1", "/dev/ttyUSB10", "/dev/rfcomm0", "/dev/ttyACM0", "/dev/ttyUSB2",
                     "/dev/ttyS0", "/dev/ttyUSB1", "/dev/ttyAMA0", "/dev/ttyS2", "/dev/ttyS3"});
    const QStringList want{"/tmp/virtual", "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB10",
                           "/dev/ttyACM0", "/dev/rfcomm0", "/dev/ttyS0", "/dev/ttyS1",
                           "/dev/ttyS2", "/dev/ttyS3"};
    EXPECT_EQ(map.devices(), want) << map.devices().join(u' ').toStdString();
    for (int number = 0; number <= 11; ++number)
        EXPECT_EQ(map.deviceFor(number), number >= 1 && number <= 10 ? want[number - 1] : QString()) << "port " << number;
    map.refreshFrom({});
    EXPECT_EQ(map.devices(), (QStringList{"/tmp/virtual", "/dev/ttyUSB1"}));
    EXPECT_TRUE(map.explicitWithoutNumber().isEmpty());

    QStringList twelve;
    for (int n = 1; n <= 12; ++n)
        twelve << QStringLiteral("/dev/named%1").arg(n);
    serial::PortMap crowded(twelve);
    crowded.refreshFrom({"/dev/ttyS0"});
    EXPECT_EQ(crowded.devices(), twelve.mid(0, 10));
    EXPECT_EQ(crowded.explicitWithoutNumber(), (QStringList{"/dev/named11", "/dev/named12"}));
}

// A child that holds `path` open as its standard input.
struct Holder {
    QProcess process;
    explicit Holder(const QString &path)
    {
        process.setStandardInputFile(path);
        process.start(QStringLiteral("sleep"), {QStringLiteral("600")});
        process.waitForStarted();
    }
    ~Holder() { release(); }
    void release() { process.kill(); process.waitForFinished(); }
};

TEST(PortDiagnosis, EveryKindOfPathGetsItsCauseAndOnlyATerminalHasHolders)
{
    using Cause = core::PortDiagnosis::Cause;
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("notes")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    Pty pty;
    Holder holder(pty.path);
    const std::tuple<QString, bool, Cause, std::string> cases[] = {
        {QStringLiteral("/dev/null"), false, Cause::NotSerial, "seri aygıt değil. Seri aygıtın yolunu verin, örneğin /dev/ttyUSB0."},
        {dir.path(), false, Cause::NotSerial, "bir klasör, aygıt değil. Seri aygıtın yolunu verin, örneğin /dev/ttyUSB0."},
        {file.fileName(), false, Cause::NotSerial, "seri aygıt değil, bir dosya. Seri aygıtın yolunu verin, örneğin /dev/ttyUSB0."},
        {dir.filePath(QStringLiteral("absent")), false, Cause::NotFound, "böyle bir aygıt yok. Aygıtın yolunu denetleyin."},
        {dir.filePath(QStringLiteral("absent")), true, Cause::Gone, "aygıt artık yok (çıkarılmış olabilir). Aygıtı takıp portu yeniden seçin."},
        {file.fileName() + QStringLiteral("/under"), false, Cause::NotFound, "böyle bir aygıt yok. Aygıtın yolunu denetleyin."},
        {pty.path, false, Cause::Busy, "başka bir program kullanıyor: sleep (pid " + std::to_string(holder.process.processId())
                                           + "). O programı kapatıp portu yeniden seçin."},
    };
    for (const auto &[path, wasPresent, kind, sentence] : cases) {
        const core::PortDiagnosis got = serial::diagnosePort(path, wasPresent, QStringLiteral("Is a directory"));
        EXPECT_EQ(std::pair(got.kind, got.sentence()), std::pair(kind, sentence)) << path.toStdString();
    }
    holder.release();
    EXPECT_EQ(serial::diagnosePort(pty.path, true, QStringLiteral("Device busy")).sentence(), "açılamadı (Device busy)")
        << "nothing explains it: the system's words, in the program's sentence";
}

// A sysfs tree of a USB serial adapter with two ports and serial number
// A50285BI, replugged as ttyUSB1 and ttyUSB2; and an adapter with none.
struct FakeSysfs {
    QTemporaryDir root;
    void add(const QString &usb, const QString &serial, const QString &interface, const QString &name)
    {
        const QString device = root.filePath(QStringLiteral("devices/pci0000:00/usb1/") + usb);
        const QString node = device + u'/' + usb + QStringLiteral(":1.") + interface + u'/' + name + QStringLiteral("/tty/") + name;
        QDir().mkpath(node);
        QDir().mkpath(root.filePath(QStringLiteral("class/tty")));
        write(device + QStringLiteral("/idVendor"), QStringLiteral("0403"));
        write(device + QStringLiteral("/idProduct"), QStringLiteral("6010"));
        if (!serial.isEmpty())
            write(device + QStringLiteral("/serial"), serial);
        write(device + u'/' + usb + QStringLiteral(":1.") + interface + QStringLiteral("/bInterfaceNumber"), u'0' + interface);
        QFile::link(node, root.filePath(QStringLiteral("class/tty/") + name));
    }
    static void write(const QString &path, const QString &text)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write((text + u'\n').toUtf8());
    }
};

TEST(DeviceIdentity, AnAdaptersPortIsFoundUnderItsNewNameAfterAReplug)
{
    FakeSysfs sys;
    sys.add(QStringLiteral("1-1"), QStringLiteral("A50285BI"), QStringLiteral("0"), QStringLiteral("ttyUSB1"));
    sys.add(QStringLiteral("1-1"), QStringLiteral("A50285BI"), QStringLiteral("1"), QStringLiteral("ttyUSB2"));
    sys.add(QStringLiteral("1-2"), QString(), QStringLiteral("0"), QStringLiteral("ttyUSB3"));
    // Before the unplug it was ttyUSB0, reached through a stable link.
    QTemporaryDir dev;
    QFile(dev.filePath(QStringLiteral("ttyUSB0"))).open(QIODevice::WriteOnly);
    QDir(dev.path()).mkpath(QStringLiteral("serial/by-id"));
    const QString byId = dev.filePath(QStringLiteral("serial/by-id/usb-FTDI-if00-port0"));
    QFile::link(dev.filePath(QStringLiteral("ttyUSB0")), byId);
    EXPECT_EQ(serial::deviceIdentity(byId, sys.root.path()), QString()) << "ttyUSB0 is gone from sysfs";
    sys.add(QStringLiteral("1-3"), QStringLiteral("A50285BI"), QStringLiteral("0"), QStringLiteral("ttyUSB0"));
    const QString identity = serial::deviceIdentity(byId, sys.root.path());
    EXPECT_EQ(identity, "usb 0403:6010 A50285BI if00");
    QDir(sys.root.filePath(QStringLiteral("class/tty"))).remove(QStringLiteral("ttyUSB0"));
    EXPECT_EQ(serial::deviceWithIdentity(identity, sys.root.path()), "/dev/ttyUSB1") << "not the other port, ttyUSB2";
    EXPECT_EQ(serial::deviceIdentity(dev.filePath(QStringLiteral("ttyUSB3")), sys.root.path()), QString());
    QFile(dev.filePath(QStringLiteral("ttyUSB3"))).open(QIODevice::WriteOnly);
    EXPECT_EQ(serial::deviceIdentity(dev.filePath(QStringLiteral("ttyUSB3")), sys.root.path()), QString())
        << "an adapter without a serial number has no identity";
    EXPECT_EQ(serial::deviceWithIdentity(QString(), sys.root.path()), QString());
    Pty pty;
    EXPECT_EQ(serial::deviceIdentity(pty.path), QString()) << "a pseudo-terminal has no identity";
}

TEST(DeviceWatch, TellsOnceWhenAHeldDeviceIsLetGo)
{
    Pty pty;
    Holder holder(pty.path);
    serial::DeviceWatch watch({}); // /dev alone: not the folder of the terminal
    int changed = 0;
    QObject::connect(&watch, &serial::DeviceWatch::devicesChanged, [&] { ++changed; });
    watch.watchForRelease(pty.path);
    holder.release();
    EXPECT_TRUE(waitFor([&] { return changed > 0; })) << "no word of the release";
    QTest::qWait(500); // longer than the watch lets a burst settle
    EXPECT_EQ(changed, 1) << "told again with nothing changed";
    watch.watchForRelease({});
    Holder another(pty.path);
    another.release();
    QTest::qWait(500);
    EXPECT_EQ(changed, 1) << "told of a device no longer watched";
}

} // namespace
