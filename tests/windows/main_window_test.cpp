// The Win32 main window, real controls on wine: twips at the monitor's dots
// per inch, the port list, the text box, the log and the prompt at the next
// frame, the tooltips and the pointing hand. (Connecting, the indicator,
// typing and a lost device end to end: tests/windows/e2e.)
#include "ui/layout/MainWindowLayout.h"
#include "ui/windows/MainWindow.h"
#include "ui/windows/Scaling.h"

#include <gtest/gtest.h>

#include <commctrl.h>

using namespace tavlun;
using namespace tavlun::ui::windows;
namespace look = layout::mainwindow;

namespace {

std::wstring textOf(HWND window)
{
    std::wstring text(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

// Runs the thread's messages for `milliseconds`.
void pumpMessages(DWORD milliseconds)
{
    MSG message;
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(end - now), QS_ALLINPUT);
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
}

std::wstring logEntry(HWND log, int index)
{
    std::wstring text(std::size_t(SendMessageW(log, LB_GETTEXTLEN, WPARAM(index), 0)) + 1, L'\0');
    SendMessageW(log, LB_GETTEXT, WPARAM(index), LPARAM(text.data()));
    text.pop_back();
    return text;
}

LRESULT countOf(HWND control, UINT message = LB_GETCOUNT) { return SendMessageW(control, message, 0, 0); }

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest()
    {
        MainWindow::Handlers handlers;
        handlers.linkEventsWaiting = [this] { ++drained; };
        window.setHandlers(handlers);
        window.show(SW_SHOWNORMAL);
    }

    // The tooltip text that `from` asks the window for.
    std::wstring tooltipOf(HWND from)
    {
        NMTTDISPINFOW request{};
        request.hdr.code = TTN_GETDISPINFOW;
        request.hdr.idFrom = UINT_PTR(from);
        SendMessageW(window.handle(), WM_NOTIFY, 0, LPARAM(&request));
        return request.lpszText ? request.lpszText : L"(none)";
    }

    MainWindow window{GetModuleHandleW(nullptr)};
    const MainWindow::Controls &c = window.controls();
    HWND list = window.portList().handle();
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

TEST_F(MainWindowTest, PortListKeepsProbedEntriesBeforeFurtherOnesAndEachNamesItsDevice)
{
    window.probeFinished(0, {});
    EXPECT_EQ(tooltipOf(list).rfind(L"Seri port bulunamadı.", 0), 0u) << tooltipOf(list);
    window.addPortEntry("Com - 1", 1, "COM1");
    window.setFurtherPorts({{"Com - 12", 12, "USB-SERIAL CH340 (COM12)"}});
    window.addPortEntry("Com - 3", 3, "COM3");
    std::vector<int> numbers;
    for (int entry = 0; entry < countOf(list, CB_GETCOUNT); ++entry) {
        SendMessageW(list, CB_SETCURSEL, WPARAM(entry), 0);
        numbers.push_back(window.selectedPortNumber());
    }
    EXPECT_EQ(numbers, (std::vector<int>{1, 3, 12}));

    // With the list open, the entry under the pointer names its device.
    SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof parts;
    GetComboBoxInfo(list, &parts);
    RECT entry{};
    SendMessageW(parts.hwndList, LB_GETITEMRECT, 2, LPARAM(&entry));
    POINT middle{(entry.left + entry.right) / 2, (entry.top + entry.bottom) / 2};
    ClientToScreen(parts.hwndList, &middle);
    SetCursorPos(middle.x, middle.y);
    EXPECT_EQ(tooltipOf(parts.hwndList), L"USB-SERIAL CH340 (COM12)");
    SendMessageW(list, CB_SHOWDROPDOWN, FALSE, 0);

    // A new probe removes its own entries from the last down, then the further ones go.
    SendMessageW(list, CB_SETCURSEL, 1, 0);
    window.removePortEntry(1);
    window.removePortEntry(0);
    EXPECT_EQ(std::pair(countOf(list, CB_GETCOUNT), window.selectedPortNumber()), std::pair(LRESULT(1), 0));
    window.setFurtherPorts({});
    EXPECT_EQ(countOf(list, CB_GETCOUNT), 0);
}

TEST_F(MainWindowTest, TextGoesToTheEndWhereverTheCaretIsAndBackspaceTakesItBack)
{
    window.appendToTextBox("AB");
    SendMessageW(c.textBox, EM_SETSEL, 0, 1); // a selection at the start
    window.appendToTextBox("Ç {Yes} ");
    DWORD start = 0, end = 0;
    SendMessageW(c.textBox, EM_GETSEL, WPARAM(&start), LPARAM(&end));
    EXPECT_EQ(std::tuple(textOf(c.textBox), start, end), std::tuple(std::wstring(L"ABÇ {Yes} "), 10u, 10u));
    window.backspaceInTextBox();
    EXPECT_EQ(textOf(c.textBox), L"ABÇ {Yes}");
}

TEST_F(MainWindowTest, LogAndPromptWaitForTheNextFrameUntilANewSessionOrALostDevice)
{
    const std::wstring start = textOf(c.prompt);
    window.addLogEntry("-> AT+CGMR");
    window.addLogEntry("<- OK");
    window.setPrompt(" SMS Tuşuna Basın...");
    EXPECT_EQ(std::pair(countOf(c.trafficLog), textOf(c.prompt)), std::pair(LRESULT(0), start));
    pumpMessages(200); // the frame's timer shows them, the received line selected, not its answer
    EXPECT_EQ(std::tuple(countOf(c.trafficLog), logEntry(c.trafficLog, 0), countOf(c.trafficLog, LB_GETCURSEL), textOf(c.prompt)),
              std::tuple(LRESULT(2), std::wstring(L"-> AT+CGMR"), LRESULT(0), std::wstring(L" SMS Tuşuna Basın...")));

    // Lines that keep coming, each sooner than a frame, are shown all the same.
    for (int line = 0; line < 60; ++line) {
        window.addLogEntry("<- OK");
        pumpMessages(5);
    }
    EXPECT_GT(countOf(c.trafficLog), 2) << "no frame came while lines kept coming";

    // A lost device: what came before stays, the prompt's start text, the list says why.
    window.addLogEntry("-> AT");
    window.reportDeviceLost("COM1", false);
    const LRESULT last = countOf(c.trafficLog) - 1;
    EXPECT_EQ(std::tuple(logEntry(c.trafficLog, int(last)), countOf(c.trafficLog, LB_GETCURSEL), textOf(c.prompt)),
              std::tuple(std::wstring(L"-> AT"), last - 1, start)); // the next to last: as if an answer followed
    window.probeFinished(1, {});
    EXPECT_NE(tooltipOf(list).find(L"Bağlı aygıt kayboldu: COM1"), std::wstring::npos) << tooltipOf(list);

    // A new session takes in what the link said, then empties everything, what waits too.
    window.appendToTextBox("ABC");
    window.addLogEntry("<- OK");
    window.setPrompt(" Klavye hazır. Bir Tuşa basın...");
    window.clearSession();
    window.flushUpdates();
    EXPECT_EQ(std::tuple(drained, textOf(c.textBox), countOf(c.trafficLog), textOf(c.prompt)),
              std::tuple(1, std::wstring(), LRESULT(0), start));
}

TEST_F(MainWindowTest, TheFullLogDropsItsOldestEntriesABatchAtATime)
{
    for (int entry = 0; entry <= 32766; ++entry)
        window.addLogEntry("-> " + std::to_string(entry));
    window.flushUpdates();
    // One entry over 32766: the oldest 2048 go.
    ASSERT_EQ(countOf(c.trafficLog), 32767 - 2048);
    EXPECT_EQ(logEntry(c.trafficLog, 0), L"-> 2048");
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
