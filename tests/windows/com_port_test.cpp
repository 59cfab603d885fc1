// The COM ports' numbering and what a failed open says.
#include "serial/windows/ComPortCatalog.h"
#include "serial/windows/ComPortNames.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace tavlun::serial::windows;
using Cause = tavlun::core::PortDiagnosis::Cause;

TEST(ComPortNames, NumbersComeFromTheSystemsNamesOfComPortsOnly)
{
    EXPECT_EQ(comPortNumber("COM1"), 1);
    EXPECT_EQ(comPortNumber("COM10"), 10);
    EXPECT_EQ(comPortNumber("com12"), 12); // the device map may hold any case
    EXPECT_EQ(comPortNumber("COM256"), std::nullopt);
    for (const char *other : {"COM", "COM0", "COM03", "COM1a", "LPT1", "COM-1", ""})
        EXPECT_EQ(comPortNumber(other), std::nullopt) << other;
    EXPECT_EQ(comPortName(12), "COM12");
}

TEST(ComPortNames, AnEntryNamesItsDeviceByTheFriendlyNameWhereThereIsOne)
{
    const std::map<int, std::string> friendly{{3, "USB-SERIAL CH340 (COM3)"}, {4, ""}};
    EXPECT_EQ(portDescription(3, friendly), "USB-SERIAL CH340 (COM3)");
    EXPECT_EQ(portDescription(4, friendly), "COM4");
    EXPECT_EQ(portDescription(7, friendly), "COM7");
}

TEST(ComPortDiagnosis, AFailedOpenNamesItsCause)
{
    EXPECT_EQ(diagnoseComPort(ERROR_ACCESS_DENIED, false, true).kind, Cause::Busy);
    EXPECT_EQ(diagnoseComPort(ERROR_ACCESS_DENIED, false, true).cause, "başka bir program kullanıyor");
    EXPECT_EQ(diagnoseComPort(ERROR_FILE_NOT_FOUND, false, true).kind, Cause::Gone);
    EXPECT_EQ(diagnoseComPort(ERROR_FILE_NOT_FOUND, false, false).kind, Cause::NotFound);
    // A port that opened but whose device does not answer has gone; one
    // that answers but will not take the line's settings refuses.
    EXPECT_EQ(diagnoseComPort(ERROR_INVALID_FUNCTION, true, true).kind, Cause::Gone);
    const auto refused = diagnoseComPort(ERROR_INVALID_HANDLE, true, true);
    EXPECT_EQ(refused.kind, Cause::Unknown);
    EXPECT_NE(refused.cause.find("9600 8N1"), std::string::npos) << refused.cause;
    EXPECT_EQ(diagnoseComPort(ERROR_ACCESS_DENIED, true, true).kind, Cause::Unknown);
    // Anything else is refused in the system's own words, with its code.
    const auto other = diagnoseComPort(ERROR_GEN_FAILURE, false, true);
    EXPECT_EQ(other.kind, Cause::Unknown);
    EXPECT_NE(other.cause.find("(31)"), std::string::npos) << other.cause;
}

TEST(ComPortCatalog, PortsAboveTheProbedOnesAreTheSystemsOwnInOrder)
{
    // The session maps COM1, COM2 and COM12 (tests/windows/wine_session.py).
    ComPortCatalog catalog([] { return std::pair<unsigned long, bool>{0, false}; });
    catalog.refresh();
    EXPECT_EQ(catalog.portsAbove(10), std::vector<int>{12});
    EXPECT_EQ(catalog.deviceFor(12), "COM12");
    EXPECT_EQ(catalog.describe(12), "COM12"); // wine's SetupAPI knows no port devices
}
