#include "link/CommandIntake.h"
#include "serial/QtSerialPort.h"
#include "support/Pty.h"
#include "support/WaitFor.h"
#include "support/Recorders.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace tavlun;
using namespace std::chrono_literals;

namespace {

using tavlun::test::waitFor;

class OnPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.valid());
        map = serial::PortMap({pty.devicePath()});
    }

    bool connectPort()
    {
        port.setReceiveThreshold(1);
        port.setInputLength(0);
        return port.setPortNumber(1) && port.setLineSettings(QStringLiteral("9600,N,8,1"))
            && port.open();
    }

    test::Pty pty;
    serial::PortMap map;
    serial::QtSerialPort port{map};
};

TEST_F(OnPty, LinesWrittenOnTheFarSideAreAnsweredByteForByte)
{
    link::KeyTable table;
    table.TusTablosuKur();
    test::RecordingLog log;
    test::RecordingPrompt prompt;
    test::RecordingTarget target;
    test::RecordingInjector injector;
    link::OutputDelivery delivery(target, injector);
    link::CommandIntake intake(port, table, log, prompt, delivery);
    QObject::connect(&port, &serial::SerialPort::commEvent, [&] { intake.onPortEvent(); });
    ASSERT_TRUE(connectPort()) << port.lastErrorText().toStdString();

    ASSERT_TRUE(pty.write("AT+CGMR\r"));
    EXPECT_EQ(pty.readAtLeast(4, 3s), QByteArray("OK\r\n"));
    EXPECT_EQ(prompt.text, QStringLiteral(" SMS Tuşuna Basın..."));

    ASSERT_TRUE(pty.write("AT+CKPD=\"222\"\r"));
    EXPECT_EQ(pty.readAtLeast(4, 3s), QByteArray("OK\r\n"));
    EXPECT_EQ(target.text, QStringLiteral("C"));
    EXPECT_EQ(log.entries, (QStringList{QStringLiteral("-> AT+CGMR"), QStringLiteral("<- OK"),
                                        QStringLiteral("-> AT+CKPD=\"222\""), QStringLiteral("<- OK")}));
}

TEST_F(OnPty, BytesAboveAsciiAreReadAsLatinOne)
{
    QString received;
    QObject::connect(&port, &serial::SerialPort::commEvent, [&] {
        if (port.eventKind() == serial::CommEvent::Receive)
            received += port.readInput();
    });
    ASSERT_TRUE(connectPort());
    ASSERT_TRUE(pty.write(QByteArray("\xC7\xFF\x80", 3) + QByteArray(1, '\0')));
    ASSERT_TRUE(waitFor([&] { return received.size() >= 4; }));
    EXPECT_EQ(received, QString::fromUtf16(u"\u00C7\u00FF\u0080") + QChar(0));

    EXPECT_TRUE(port.writeText(QString::fromUtf16(u"\u00E9")));
    EXPECT_EQ(pty.readAtLeast(1, 3s), QByteArray("\xE9"));
}

TEST_F(OnPty, BytesBufferedBeforeOpenAreDiscarded)
{
    ASSERT_TRUE(pty.write("stale"));
    ASSERT_TRUE(connectPort());
    QString received;
    QObject::connect(&port, &serial::SerialPort::commEvent,
                     [&] { received += port.readInput(); });
    ASSERT_TRUE(pty.write("fresh"));
    ASSERT_TRUE(waitFor([&] { return received.size() >= 5; }));
    EXPECT_EQ(received, QStringLiteral("fresh"));
}

TEST_F(OnPty, FarSideClosingIsReportedAsALostDevice)
{
    ASSERT_TRUE(connectPort());
    int lost = 0;
    QObject::connect(&port, &serial::SerialPort::deviceLost, [&] {
        ++lost;
        port.close();
    });
    pty.closeController();
    pty.closeDevice();
    ASSERT_TRUE(waitFor([&] { return lost > 0; })) << "no deviceLost after hang-up";
    EXPECT_FALSE(port.isOpen());
    waitFor([] { return false; }, 200ms);
    EXPECT_EQ(lost, 1);
}

TEST_F(OnPty, UnknownNumbersAndMissingDevicesDoNotOpen)
{
    EXPECT_FALSE(port.setPortNumber(2));
    EXPECT_FALSE(port.setPortNumber(0));

    serial::PortMap missing({QStringLiteral("/dev/does-not-exist")});
    serial::QtSerialPort other(missing);
    ASSERT_TRUE(other.setPortNumber(1));
    EXPECT_FALSE(other.open());
    EXPECT_FALSE(other.isOpen());
    EXPECT_FALSE(other.lastErrorText().isEmpty());
}

TEST_F(OnPty, ABusyPortDoesNotOpenTwice)
{
    ASSERT_TRUE(connectPort());
    serial::QtSerialPort second(map);
    ASSERT_TRUE(second.setPortNumber(1));
    EXPECT_FALSE(second.open()) << "the port is held exclusively";
    port.close();
    EXPECT_TRUE(second.open()) << "once closed it opens again";
}

TEST_F(OnPty, ThresholdZeroRaisesNoReceiveEvent)
{
    port.setReceiveThreshold(0);
    ASSERT_TRUE(port.setPortNumber(1));
    ASSERT_TRUE(port.open());
    int events = 0;
    QObject::connect(&port, &serial::SerialPort::commEvent, [&] { ++events; });
    ASSERT_TRUE(pty.write("AT\r"));
    waitFor([] { return false; }, 300ms);
    EXPECT_EQ(events, 0);
}

} // namespace
