// The Win32 main window, real controls on wine: laid out from the layout at
// every monitor's dots per inch, its port list, text box, log and prompt.
#include "ui/layout/MainWindowLayout.h"
#include "ui/windows/Gdi.h"
#include "ui/windows/MainWindow.h"
#include "ui/windows/Scaling.h"
#include "WindowText.h"

#include <gtest/gtest.h>

#include <commctrl.h>

using namespace tavlun;
using namespace tavlun::ui::windows;
namespace look = layout::mainwindow;

namespace {

// Where a control lies in its window's client area.
PixelRect placeOf(HWND control)
{
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT *>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

PixelRect clientOf(HWND window)
{
    RECT r{};
    GetClientRect(window, &r);
    return {0, 0, r.right, r.bottom};
}

std::wstring logEntry(HWND log, int index)
{
    std::wstring text(std::size_t(SendMessageW(log, LB_GETTEXTLEN, WPARAM(index), 0)) + 1, L'\0');
    SendMessageW(log, LB_GETTEXT, WPARAM(index), LPARAM(text.data()));
    text.pop_back();
    return text;
}

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest()
    {
        MainWindow::Handlers handlers;
        handlers.linkEventsWaiting = [this] { ++drained; };
        window.setHandlers(handlers);
        window.show(SW_SHOWNORMAL);
    }

    MainWindow window{GetModuleHandleW(nullptr)};
    const MainWindow::Controls &c = window.controls();
    int drained = 0;
};

} // namespace

TEST(Scaling, TwipsBecomePixelsAtTheMonitorsDotsPerInch)
{
    // 15 twips a pixel at 96 dots per inch, 10 at 144; a control in a frame
    // lies where the frame's and its own offsets together say.
    EXPECT_EQ(scaled(look::kTextBox, 96, look::kKeyboardFrame), (PixelRect{16, 256, 433, 89}));
    EXPECT_EQ(scaled(look::kTextBox, 144, look::kKeyboardFrame), (PixelRect{24, 384, 650, 134}));
    EXPECT_EQ(scaled(look::kClient.height, 144), 572); // 571.5, to the nearest
    EXPECT_EQ(fontHeight(12, 96), -16);
    EXPECT_EQ(fontHeight(8.25, 144), -17);
}

TEST_F(MainWindowTest, ControlsLieWhereTheLayoutSaysAtEveryResolution)
{
    for (const int dpi : {96, 144}) {
        window.applyDpi(dpi);
        EXPECT_EQ(clientOf(window.handle()), (PixelRect{0, 0, scaled(look::kClient.width, dpi),
                                                        scaled(look::kClient.height, dpi)}));
        EXPECT_EQ(placeOf(c.portFrame), scaled(look::kPortFrame, dpi)) << dpi;
        EXPECT_EQ(placeOf(c.disconnectButton), scaled(look::kDisconnectButton, dpi, look::kPortFrame)) << dpi;
        // Wine's closed list stays two pixels taller than asked.
        const PixelRect list = placeOf(window.portList().handle());
        const PixelRect expected = scaled(look::kPortList, dpi, look::kPortFrame);
        EXPECT_EQ((PixelRect{list.left, list.top, list.width, expected.height}), expected) << dpi;
        EXPECT_LE(list.height - expected.height, 2) << dpi;
        EXPECT_EQ(placeOf(c.trafficLog), scaled(look::kTrafficLog, dpi, look::kTrafficFrame)) << dpi;
        EXPECT_EQ(placeOf(c.textBox), scaled(look::kTextBox, dpi, look::kKeyboardFrame)) << dpi;
        EXPECT_EQ(placeOf(c.aboutButton), scaled(look::kAboutButton, dpi)) << dpi;
        EXPECT_EQ(placeOf(c.prompt), scaled(look::kPrompt.rect, dpi)) << dpi;
        LOGFONTW font{};
        GetObjectW(HFONT(SendMessageW(c.textBox, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_EQ(font.lfHeight, fontHeight(look::kTextBoxFont.points, dpi));
        EXPECT_EQ(font.lfWeight, FW_BOLD);
        EXPECT_EQ(font.lfCharSet, look::kTextBoxFont.charset);
    }
}

TEST_F(MainWindowTest, StartsWithItsTextsAndNothingConnected)
{
    EXPECT_EQ(textOf(window.handle()), L"Tavlun    Ver. 1.0.4");
    EXPECT_EQ(textOf(c.portFrame), L"Seri Port Ayar");
    EXPECT_EQ(textOf(c.trafficFrame), L"Seri Port Data");
    EXPECT_EQ(textOf(c.keyboardFrame), L"Klavye");
    EXPECT_EQ(textOf(c.disconnectButton), L"Bağlantıyı Kes");
    EXPECT_EQ(textOf(c.aboutButton), L"Hakkında");
    EXPECT_EQ(textOf(c.prompt), L" Port Seçip cihazı bağlayın...");
    EXPECT_FALSE(IsWindowEnabled(c.disconnectButton));
    EXPECT_TRUE(IsWindowEnabled(window.portList().handle()));
    EXPECT_FALSE(window.indicatorConnected());
    EXPECT_EQ(window.selectedPortNumber(), 0);
}

TEST_F(MainWindowTest, PortListKeepsProbedEntriesBeforeFurtherOnes)
{
    HWND list = window.portList().handle();
    window.addPortEntry("Com - 1", 1, "COM1");
    window.setFurtherPorts({{"Com - 12", 12, "USB-SERIAL CH340 (COM12)"}});
    window.addPortEntry("Com - 3", 3, "COM3");
    ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 3);
    const auto &entries = window.portList().entries();
    EXPECT_EQ(entries[1].text, "Com - 3");
    EXPECT_EQ(entries[2].description, "USB-SERIAL CH340 (COM12)");

    SendMessageW(list, CB_SETCURSEL, 2, 0);
    EXPECT_EQ(window.selectedPortNumber(), 12);
    SendMessageW(list, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(window.selectedPortNumber(), 3);

    // A new probe removes its own entries from the last down, then the further ones go.
    window.removePortEntry(1);
    window.removePortEntry(0);
    EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(window.selectedPortNumber(), 0);
    window.setFurtherPorts({});
    EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 0);
}

TEST_F(MainWindowTest, TextGoesToTheEndWhereverTheCaretIsAndBackspaceTakesItBack)
{
    window.appendToTextBox("AB");
    SendMessageW(c.textBox, EM_SETSEL, 0, 1); // a selection at the start
    window.appendToTextBox("Ç {Yes} ");
    EXPECT_EQ(textOf(c.textBox), L"ABÇ {Yes} ");
    DWORD start = 0, end = 0;
    SendMessageW(c.textBox, EM_GETSEL, WPARAM(&start), LPARAM(&end));
    EXPECT_EQ(start, 10u);
    EXPECT_EQ(end, 10u);
    window.backspaceInTextBox();
    EXPECT_EQ(textOf(c.textBox), L"ABÇ {Yes}");
}

TEST_F(MainWindowTest, LogAndPromptWaitForTheNextFrameAndTheNewestLineIsSelected)
{
    window.addLogEntry("-> AT+CGMR");
    window.addLogEntry("<- OK");
    window.setPrompt(" SMS Tuşuna Basın...");
    EXPECT_EQ(SendMessageW(c.trafficLog, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(textOf(c.prompt), L" Port Seçip cihazı bağlayın...");

    // The frame's timer shows them.
    pumpMessages(200);
    ASSERT_EQ(SendMessageW(c.trafficLog, LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(logEntry(c.trafficLog, 0), L"-> AT+CGMR");
    EXPECT_EQ(SendMessageW(c.trafficLog, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(textOf(c.prompt), L" SMS Tuşuna Basın...");

    window.addLogEntry("-> AT+CKPD=\"2\"");
    window.addLogEntry("<- OK");
    window.flushUpdates();
    EXPECT_EQ(SendMessageW(c.trafficLog, LB_GETCURSEL, 0, 0), 2);

    // Lines that keep coming, each sooner than a frame, are shown all the same.
    const LRESULT before = SendMessageW(c.trafficLog, LB_GETCOUNT, 0, 0);
    for (int line = 0; line < 60; ++line) {
        window.addLogEntry("<- OK");
        pumpMessages(5);
    }
    EXPECT_GT(SendMessageW(c.trafficLog, LB_GETCOUNT, 0, 0), before) << "no frame came while lines kept coming";
}

TEST_F(MainWindowTest, TheFullLogDropsItsOldestEntriesABatchAtATime)
{
    for (int entry = 0; entry <= 32766; ++entry)
        window.addLogEntry("-> " + std::to_string(entry));
    window.flushUpdates();
    // One entry over 32766: the oldest 2048 go.
    ASSERT_EQ(SendMessageW(c.trafficLog, LB_GETCOUNT, 0, 0), 32767 - 2048);
    EXPECT_EQ(logEntry(c.trafficLog, 0), L"-> 2048");
}

TEST_F(MainWindowTest, ClearingTheSessionTakesInWhatWaitsThenEmptiesEverything)
{
    window.appendToTextBox("ABC");
    window.addLogEntry("-> AT");
    window.flushUpdates();
    window.addLogEntry("<- OK");
    window.setPrompt(" Klavye hazır. Bir Tuşa basın...");
    window.clearSession();
    EXPECT_EQ(drained, 1);
    window.flushUpdates();
    EXPECT_EQ(textOf(c.textBox), L"");
    EXPECT_EQ(SendMessageW(c.trafficLog, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(textOf(c.prompt), L" Port Seçip cihazı bağlayın...");
}

TEST_F(MainWindowTest, ALostDeviceRestoresThePromptAndTheListSaysWhy)
{
    window.setPrompt(" Klavye hazır. Bir Tuşa basın...");
    window.addLogEntry("-> AT");
    window.reportDeviceLost("COM1", false);
    EXPECT_EQ(SendMessageW(c.trafficLog, LB_GETCOUNT, 0, 0), 1); // what came before stays
    EXPECT_EQ(textOf(c.prompt), L" Port Seçip cihazı bağlayın...");
    window.probeFinished(1, {});
    EXPECT_NE(window.portList().help().find("Bağlı aygıt kayboldu: COM1"), std::string::npos)
        << window.portList().help();
}

TEST_F(MainWindowTest, TooltipsSayWhyPortsAreMissingAndNameEachEntrysDevice)
{
    window.probeFinished(0, {});
    window.addPortEntry("Com - 3", 3, "USB-SERIAL CH340 (COM3)");
    HWND list = window.portList().handle();
    NMTTDISPINFOW request{};
    request.hdr.code = TTN_GETDISPINFOW;
    request.hdr.idFrom = UINT_PTR(list);
    SendMessageW(window.handle(), WM_NOTIFY, 0, LPARAM(&request));
    ASSERT_TRUE(request.lpszText);
    EXPECT_EQ(std::wstring(request.lpszText).rfind(L"Seri port bulunamadı.", 0), 0u);

    // With the list open, the entry under the pointer names its device.
    SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof parts;
    GetComboBoxInfo(list, &parts);
    RECT entry{};
    SendMessageW(parts.hwndList, LB_GETITEMRECT, 0, LPARAM(&entry));
    POINT middle{(entry.left + entry.right) / 2, (entry.top + entry.bottom) / 2};
    ClientToScreen(parts.hwndList, &middle);
    SetCursorPos(middle.x, middle.y);
    request = {};
    request.hdr.code = TTN_GETDISPINFOW;
    request.hdr.idFrom = UINT_PTR(parts.hwndList);
    SendMessageW(window.handle(), WM_NOTIFY, 0, LPARAM(&request));
    SendMessageW(list, CB_SHOWDROPDOWN, FALSE, 0);
    ASSERT_TRUE(request.lpszText);
    EXPECT_EQ(std::wstring(request.lpszText), L"USB-SERIAL CH340 (COM3)");
}

TEST_F(MainWindowTest, TheDisconnectButtonShowsAPointingHand)
{
    RECT button{};
    GetWindowRect(c.disconnectButton, &button);
    const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    for (const bool over : {true, false}) {
        SetCursorPos(over ? (button.left + button.right) / 2 : button.right + 40, (button.top + button.bottom) / 2);
        SetCursor(arrow);
        SendMessageW(window.handle(), WM_SETCURSOR, WPARAM(window.handle()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(GetCursor() != arrow, over);
    }
}

TEST_F(MainWindowTest, MinimisedIsNotTheNormalState)
{
    EXPECT_TRUE(window.isNormalState());
    ShowWindow(window.handle(), SW_MINIMIZE);
    EXPECT_FALSE(window.isNormalState());
    ShowWindow(window.handle(), SW_RESTORE);
    EXPECT_TRUE(window.isNormalState());
}

TEST_F(MainWindowTest, TheIndicatorAndButtonsFollowTheConnection)
{
    window.setConnectedIndicator(true);
    window.setDisconnectEnabled(true);
    window.setPortListEnabled(false);
    EXPECT_TRUE(window.indicatorConnected());
    EXPECT_TRUE(IsWindowEnabled(c.disconnectButton));
    EXPECT_FALSE(IsWindowEnabled(window.portList().handle()));
    // Painted blue, inside its outline.
    UpdateWindow(window.handle());
    HWND indicator = FindWindowExW(window.handle(), nullptr, L"TavlunIndicatorLight", nullptr);
    HDC dc = GetDC(indicator);
    const PixelRect at = placeOf(indicator);
    EXPECT_EQ(GetPixel(dc, at.width / 2, at.height / 2), colour(look::kIndicatorConnected));
    ReleaseDC(indicator, dc);
}
