#include "serial/PortMap.h"

#include <gtest/gtest.h>

using tavlun::serial::PortMap;

TEST(PortMap, CommandLineDevicesComeFirstThenPlatformPortsByFamilyAndNumber)
{
    PortMap map({QStringLiteral("/tmp/virtual"), QStringLiteral("/dev/ttyUSB1")});
    map.refreshFrom({QStringLiteral("/dev/ttyS1"), QStringLiteral("/dev/ttyUSB10"),
                     QStringLiteral("/dev/rfcomm0"), QStringLiteral("/dev/ttyACM0"),
                     QStringLiteral("/dev/ttyUSB2"), QStringLiteral("/dev/ttyS0"),
                     QStringLiteral("/dev/ttyUSB1"), QStringLiteral("/dev/ttyAMA0")});
    EXPECT_EQ(map.devices(),
              (QStringList{QStringLiteral("/tmp/virtual"), QStringLiteral("/dev/ttyUSB1"),
                           QStringLiteral("/dev/ttyUSB2"), QStringLiteral("/dev/ttyUSB10"),
                           QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/rfcomm0"),
                           QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS1"),
                           QStringLiteral("/dev/ttyAMA0")}));
    EXPECT_EQ(map.deviceFor(1), QStringLiteral("/tmp/virtual"));
    EXPECT_EQ(map.deviceFor(3), QStringLiteral("/dev/ttyUSB2"));
    EXPECT_TRUE(map.deviceFor(0).isEmpty());
    EXPECT_TRUE(map.deviceFor(10).isEmpty());
}

TEST(PortMap, HoldsAtMostTenPortsAndIsRebuiltEachTime)
{
    PortMap map;
    QStringList many;
    for (int i = 0; i < 14; ++i)
        many << QStringLiteral("/dev/ttyS%1").arg(i);
    map.refreshFrom(many);
    EXPECT_EQ(map.devices().size(), 10);
    EXPECT_EQ(map.deviceFor(10), QStringLiteral("/dev/ttyS9"));

    map.refreshFrom({QStringLiteral("/dev/ttyUSB0")});
    EXPECT_EQ(map.devices(), QStringList{QStringLiteral("/dev/ttyUSB0")});
    EXPECT_TRUE(map.deviceFor(2).isEmpty());
}
