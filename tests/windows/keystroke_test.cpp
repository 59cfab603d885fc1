// The input events that type a key beyond the first 65536 characters and
// Escape (ß, the Turkish letters, €, Enter and Backspace reach wine's notepad
// end to end, tests/windows/e2e).
#include "keystrokes/windows/SendInputKeyInjector.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace tavlun;
using keystrokes::windows::inputsFor;

TEST(SendInputKeys, ACharacterBeyondTheFirst65536GoesAsBothHalvesDownThenBothUp)
{
    const auto beyond = inputsFor(core::Key::character(U'\U0001F600'));
    ASSERT_EQ(beyond.size(), 4u);
    constexpr DWORD up = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    EXPECT_EQ(std::tuple(beyond[0].ki.wScan, beyond[1].ki.wScan, beyond[1].ki.dwFlags, beyond[2].ki.wScan, beyond[3].ki.dwFlags),
              std::tuple(0xD83D, 0xDE00, DWORD(KEYEVENTF_UNICODE), 0xD83D, up));
    const auto escape = inputsFor(core::Key::escape());
    EXPECT_EQ(std::tuple(escape.size(), escape[0].ki.wVk, escape[1].ki.dwFlags), std::tuple(2u, VK_ESCAPE, DWORD(KEYEVENTF_KEYUP)));
}
