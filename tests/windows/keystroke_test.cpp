// The input events that type a key (the keys reaching wine's notepad are
// tested end to end, tests/windows/e2e).
#include "keystrokes/windows/SendInputKeyInjector.h"

#include <gtest/gtest.h>

#include <windows.h>


using namespace tavlun;
using keystrokes::windows::inputsFor;


TEST(SendInputKeys, CharactersGoAsUnicodeAndTheOtherKeysAsVirtualKeys)
{
    const auto sharpS = inputsFor(core::Key::character(U'ß'));
    ASSERT_EQ(sharpS.size(), 2u);
    EXPECT_EQ(sharpS[0].ki.wScan, 0xDF);
    EXPECT_EQ(sharpS[0].ki.dwFlags, DWORD(KEYEVENTF_UNICODE));
    EXPECT_EQ(sharpS[1].ki.dwFlags, DWORD(KEYEVENTF_UNICODE | KEYEVENTF_KEYUP));

    // Beyond the first 65536: both halves pressed, then both released.
    const auto beyond = inputsFor(core::Key::character(U'\U0001F600'));
    ASSERT_EQ(beyond.size(), 4u);
    EXPECT_EQ(beyond[0].ki.wScan, 0xD83D);
    EXPECT_EQ(beyond[1].ki.wScan, 0xDE00);
    EXPECT_EQ(beyond[3].ki.dwFlags, DWORD(KEYEVENTF_UNICODE | KEYEVENTF_KEYUP));

    const auto enter = inputsFor(core::Key::enter());
    ASSERT_EQ(enter.size(), 2u);
    EXPECT_EQ(enter[0].ki.wVk, VK_RETURN);
    EXPECT_EQ(enter[1].ki.dwFlags, DWORD(KEYEVENTF_KEYUP));
    EXPECT_EQ(inputsFor(core::Key::backspace())[0].ki.wVk, VK_BACK);
    EXPECT_EQ(inputsFor(core::Key::escape())[0].ki.wVk, VK_ESCAPE);
}
