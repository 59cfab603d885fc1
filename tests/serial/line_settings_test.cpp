#include "serial/LineSettings.h"

#include <gtest/gtest.h>

using tavlun::serial::LineSettings;

TEST(LineSettings, ParsesTheClassicForms)
{
    const auto standard = LineSettings::parse(QStringLiteral("9600,N,8,1"));
    ASSERT_TRUE(standard);
    EXPECT_EQ(*standard, (LineSettings{9600, QSerialPort::NoParity, QSerialPort::Data8,
                                       QSerialPort::OneStop}));

    const auto other = LineSettings::parse(QStringLiteral("115200,e,7,2"));
    ASSERT_TRUE(other);
    EXPECT_EQ(other->baudRate, 115200);
    EXPECT_EQ(other->parity, QSerialPort::EvenParity);
    EXPECT_EQ(other->dataBits, QSerialPort::Data7);
    EXPECT_EQ(other->stopBits, QSerialPort::TwoStop);
}

TEST(LineSettings, RejectsMalformedText)
{
    for (const char *text : {"", "9600", "9600,N,8", "9600,N,8,1,1", "fast,N,8,1", "0,N,8,1",
                             "9600,X,8,1", "9600,N,9,1", "9600,N,4,1", "9600,N,8,3"})
        EXPECT_FALSE(LineSettings::parse(QString::fromLatin1(text))) << text;
}
