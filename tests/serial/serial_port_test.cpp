// The serial port on a real pseudo-terminal, the numbering of ports, what
// identifies a USB adapter.
#include "serial/DeviceIdentity.h"
#include "serial/PortDiagnosis.h"
#include "serial/PortMap.h"
#include "serial/SerialPort.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
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
    char path[256] = {};
    Pty()
    {
        termios raw{};
        cfmakeraw(&raw);
        openpty(&controller, &device, path, &raw, nullptr);
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
    EXPECT_FALSE(port.open(QStringLiteral("/dev/tavlun-missing")) || port.lastErrorText().isEmpty()) << "no reason kept";
    termios line{};
    cfsetspeed(&line, B38400);
    line.c_cflag |= CS7 | PARENB | CSTOPB | CRTSCTS;
    tcsetattr(pty.device, TCSANOW, &line);
    ASSERT_TRUE(port.open(QString::fromLocal8Bit(pty.path))) << port.lastErrorText().toStdString();
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
    ASSERT_TRUE(port.open(QString::fromLocal8Bit(pty.path)));
    for (char junk[4096]; ::read(pty.controller, junk, sizeof junk) > 0;) {} // what the terminal held
    port.write("AT");
    EXPECT_EQ(pty.read(2), "AT") << "what the last connection left unsent went to the next";

    pty.hangUp();
    EXPECT_TRUE(waitFor([&] { return lost > 0; })) << "no deviceLost after hang-up";
    QTest::qWait(100); // Qt reports the hang-up again at every turn of the event loop
    EXPECT_EQ(lost, 1);
}

TEST(PortDiagnosis, ADeviceThatCameJustAfterTheOpenFoundNothingIsNamedAsTheOpenFoundIt)
{
    const QString absent = QString::fromLocal8Bit(std::strerror(ENOENT));
    EXPECT_EQ(std::pair(serial::diagnosePort("/dev/null", false, absent).kind, serial::diagnosePort("/dev/null", true, absent).kind),
              std::pair(core::PortDiagnosis::Cause::NotFound, core::PortDiagnosis::Cause::Gone));
}

TEST(PortMap, CommandLineDevicesComeFirstThenPlatformPortsByFamilyAndNumberUpToTen)
{
    serial::PortMap map({"/tmp/virtual", "/dev/ttyUSB1", "/tmp/virtual"}); // named twice: counted once
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
}

// Adds to a sysfs tree at `sys` the port `name` of the USB adapter `usb`
// (vendor 0403, product 6010) whose serial number is `serial`, on `interface`.
void addTty(const QString &sys, const QString &usb, const QString &serial, int interface, const QString &name)
{
    const QString device = sys + "/devices/usb1/" + usb, port = device + QString("/if%1").arg(interface);
    QDir().mkpath(port + '/' + name);
    QDir().mkpath(sys + "/class/tty");
    QFile::link(port + '/' + name, sys + "/class/tty/" + name);
    const std::pair<QString, QString> files[] = {{device + "/idVendor", "0403"}, {device + "/idProduct", "6010"},
                                                 {device + "/serial", serial}, {port + "/bInterfaceNumber", QString("0%1").arg(interface)}};
    for (const auto &[file, text] : files)
        if (QFile out(file); !text.isEmpty() && out.open(QIODevice::WriteOnly))
            out.write((text + '\n').toUtf8());
}

TEST(DeviceIdentity, AnAdaptersPortIsFoundUnderItsNewNameAfterAReplug)
{
    // ttyUSB0 behind a stable link; replugged, the adapter's two ports are
    // ttyUSB1 and ttyUSB2; ttyUSB3 is an adapter without a serial number.
    QTemporaryDir sys; // its folders named ttyUSB0 ... stand for the nodes in /dev too
    addTty(sys.path(), "1-3", "A50285BI", 0, "ttyUSB0");
    addTty(sys.path(), "1-1", "A50285BI", 1, "ttyUSB1");
    addTty(sys.path(), "1-1", "A50285BI", 0, "ttyUSB2");
    addTty(sys.path(), "1-2", "", 0, "ttyUSB3");
    const QString byId = sys.filePath("usb-FTDI_A50285BI-if00-port0");
    QFile::link(sys.filePath("devices/usb1/1-3/if0/ttyUSB0"), byId);
    const QString identity = serial::deviceIdentity(byId, sys.path());
    EXPECT_EQ(identity, "usb 0403:6010 A50285BI if00");
    QFile::remove(sys.filePath("class/tty/ttyUSB0")); // unplugged
    EXPECT_EQ(serial::deviceIdentity(byId, sys.path()), QString());
    EXPECT_EQ(serial::deviceWithIdentity(identity, sys.path()), "/dev/ttyUSB2") << "not its other port, ttyUSB1";
    EXPECT_EQ(serial::deviceIdentity(sys.filePath("class/tty/ttyUSB3"), sys.path()), QString()) << "no serial number";
}

} // namespace
