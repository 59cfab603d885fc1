// The serial port on a real pseudo-terminal, and the numbering of ports.
#include "serial/PortMap.h"
#include "serial/SerialPort.h"
#include "support/Pty.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

using namespace tavlun;
using test::Pty;
using test::waitFor;

namespace {

TEST(SerialPort, CarriesBytesBothWaysAndReportsAHangUpOnce)
{
    Pty pty;
    ASSERT_TRUE(pty.valid());
    pty.write("stale");
    serial::SerialPort port;
    QByteArray received;
    int lost = 0;
    QObject::connect(&port, &serial::SerialPort::received, [&](const QByteArray &b) { received += b; });
    QObject::connect(&port, &serial::SerialPort::deviceLost, [&] { ++lost; });
    ASSERT_TRUE(port.open(pty.devicePath())) << port.lastErrorText().toStdString();
    EXPECT_FALSE(port.open(pty.devicePath())) << "an open port opens again";

    const QByteArray all = QByteArray("AT\r\n\0\x7F\x80\xC7\xFF", 9);
    ASSERT_TRUE(pty.write(all));
    EXPECT_TRUE(waitFor([&] { return received.size() >= all.size(); }));
    EXPECT_EQ(received, all) << "bytes buffered before open() must not be read";
    EXPECT_TRUE(port.write(QByteArray("OK\r\n\xC7", 5)));
    EXPECT_EQ(pty.readAtLeast(5, std::chrono::seconds(3)), QByteArray("OK\r\n\xC7", 5));

    pty.closeController();
    pty.closeDevice();
    EXPECT_TRUE(waitFor([&] { return lost > 0; })) << "no deviceLost after hang-up";
    EXPECT_EQ(lost, 1);
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.write("OK\r\n"));
}

TEST(SerialPort, MissingOrBusyDevicesDoNotOpen)
{
    serial::SerialPort port, other;
    EXPECT_FALSE(port.open(QStringLiteral("/dev/tavlun-missing")));
    EXPECT_FALSE(port.lastErrorText().isEmpty());
    Pty pty;
    ASSERT_TRUE(port.open(pty.devicePath()));
    EXPECT_FALSE(other.open(pty.devicePath())) << "a port in use opens twice";
    port.close();
    EXPECT_TRUE(other.open(pty.devicePath())) << "a closed port is not free again";
}

TEST(PortMap, CommandLineDevicesComeFirstThenPlatformPortsByFamilyAndNumberUpToTen)
{
    serial::PortMap map({"/tmp/virtual", "/dev/ttyUSB1"});
    map.refreshFrom({"/dev/ttyS1", "/dev/ttyUSB10", "/dev/rfcomm0", "/dev/ttyACM0", "/dev/ttyUSB2",
                     "/dev/ttyS0", "/dev/ttyUSB1", "/dev/ttyAMA0", "/dev/ttyS2", "/dev/ttyS3"});
    const QStringList want{"/tmp/virtual", "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB10",
                           "/dev/ttyACM0", "/dev/rfcomm0", "/dev/ttyS0", "/dev/ttyS1",
                           "/dev/ttyS2", "/dev/ttyS3"};
    EXPECT_EQ(map.devices(), want) << map.devices().join(u' ').toStdString();
    for (int number = 0; number <= 11; ++number) {
        EXPECT_EQ(map.deviceFor(number), number >= 1 && number <= 10 ? want[number - 1] : QString())
            << "port " << number;
    }
    map.refreshFrom({});
    EXPECT_EQ(map.devices(), (QStringList{"/tmp/virtual", "/dev/ttyUSB1"}));
}

} // namespace
