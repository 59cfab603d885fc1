// The COM ports' numbering and what a failed open says. (The ports above the
// probed ones are listed end to end: tests/windows/e2e.)
#include "serial/windows/ComPortCatalog.h" // diagnoseComPort
#include "serial/windows/ComPortNames.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace tavlun::serial::windows;
using Cause = tavlun::core::PortDiagnosis::Cause;

TEST(ComPortNames, NumbersComeFromTheSystemsNamesAndEntriesFromTheFriendlyNames)
{
    const std::pair<const char *, std::optional<int>> names[] = {
        {"COM1", 1}, {"COM10", 10}, {"com12", 12}, // the device map may hold any case
        {"COM256", {}}, {"COM", {}}, {"COM0", {}}, {"COM03", {}}, {"COM1a", {}}, {"LPT1", {}}, {"COM-1", {}}, {"", {}}};
    for (const auto &[name, number] : names)
        EXPECT_EQ(comPortNumber(name), number) << name;
    EXPECT_EQ(comPortName(12), "COM12");
    const std::map<int, std::string> friendly{{3, "USB-SERIAL CH340 (COM3)"}, {4, ""}};
    EXPECT_EQ(portDescription(3, friendly) + '|' + portDescription(4, friendly) + '|' + portDescription(7, friendly),
              "USB-SERIAL CH340 (COM3)|COM4|COM7");
}

TEST(ComPortDiagnosis, AFailedOpenNamesItsCause)
{
    // A port that opened but whose device does not answer has gone; one that
    // answers but will not take the line's settings, or any other error, is
    // refused, in the system's own words with its code.
    const struct { unsigned long error; bool atSettings, present; Cause kind; const char *says; } cases[] = {
        {ERROR_ACCESS_DENIED, false, true, Cause::Busy, "başka bir program kullanıyor"},
        {ERROR_FILE_NOT_FOUND, false, true, Cause::Gone, ""},
        {ERROR_FILE_NOT_FOUND, false, false, Cause::NotFound, ""},
        {ERROR_INVALID_FUNCTION, true, true, Cause::Gone, ""},
        {ERROR_INVALID_HANDLE, true, true, Cause::Unknown, "9600 8N1"},
        {ERROR_ACCESS_DENIED, true, true, Cause::Unknown, ""},
        {ERROR_GEN_FAILURE, false, true, Cause::Unknown, "(31)"},
    };
    for (const auto &c : cases) {
        const auto diagnosis = diagnoseComPort(c.error, c.atSettings, c.present);
        EXPECT_EQ(diagnosis.kind, c.kind) << c.error << " at the settings " << c.atSettings;
        EXPECT_NE(diagnosis.cause.find(c.says), std::string::npos) << diagnosis.cause;
    }
}
