#include "MainWindow.h"

#include "AboutWindow.h"
#include "Resources.h"
#include "WindowClass.h"
#include "ui/layout/MainWindowLayout.h"

#include <commctrl.h>
#include <dbt.h>

namespace tavlun::ui::windows {

namespace look = layout::mainwindow;

namespace {

enum : int { kPortListId = 100, kDisconnectId, kTrafficLogId, kTextBoxId, kAboutId };
enum : UINT { kLinkEventsMessage = WM_APP + 1, kDeviceLostMessage, kPickMessage };
constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kFrameMilliseconds = 16; // one frame at 60 Hz
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
const wchar_t kClass[] = L"TavlunMainWindow";

// The traffic log keeps at most this many entries; beyond it the oldest
// go, kTrimBatch at a time.
constexpr int kMaxLogEntries = 32766;
constexpr int kTrimBatch = 2048;

HWND child(HWND parent, HINSTANCE instance, const wchar_t *type, std::string_view text, DWORD style,
           int id = 0, DWORD exStyle = 0)
{
    return CreateWindowExW(exStyle, type, wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           HMENU(INT_PTR(id)), instance, nullptr);
}

void place(HWND control, PixelRect where)
{
    SetWindowPos(control, nullptr, where.left, where.top, where.width, where.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void setFont(HWND control, const Font &font)
{
    SendMessageW(control, WM_SETFONT, WPARAM(font.get()), TRUE);
}

int messageBox(HWND owner, std::string_view text, std::string_view title, UINT style)
{
    return MessageBoxW(owner, wide(text).c_str(), wide(title).c_str(), style);
}

} // namespace

MainWindow::MainWindow(HINSTANCE instance)
    : instance_(instance),
      accessory_(TAVLUN_ACCESSORY_PICTURE),
      hand_(static_cast<HCURSOR>(
          LoadImageW(instance, MAKEINTRESOURCEW(TAVLUN_HAND_POINTER), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE))),
      background_(CreateSolidBrush(colour(look::kBackground)))
{
    const auto icon = [instance](int size) {
        return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(TAVLUN_ICON), IMAGE_ICON, size, size, 0));
    };
    registerOwnedWindowClass<MainWindow>(instance, kClass, background_.get(), icon(GetSystemMetrics(SM_CXICON)),
                                         icon(GetSystemMetrics(SM_CXSMICON)));
    window_ = CreateWindowExW(kExStyle, kClass, wide(look::versionedCaption()).c_str(), kStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, this);
    createControls();
    applyDpi(int(GetDpiForWindow(window_)));
    focus_ = portList_.handle();
}

MainWindow::~MainWindow()
{
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

void MainWindow::createControls()
{
    // Frames first, beneath what they hold; then the controls that take
    // the focus, in their tab order: the list, the disconnect button, the
    // log, the text box and the about button.
    controls_.portFrame = child(window_, instance_, WC_BUTTONW, look::kPortFrameTitle, BS_GROUPBOX);
    controls_.trafficFrame = child(window_, instance_, WC_BUTTONW, look::kTrafficFrameTitle, BS_GROUPBOX);
    controls_.keyboardFrame = child(window_, instance_, WC_BUTTONW, look::kKeyboardFrameTitle, BS_GROUPBOX);
    indicator_.create(window_, instance_);
    portList_.create(window_, instance_, kPortListId);
    controls_.disconnectButton =
        child(window_, instance_, WC_BUTTONW, look::kDisconnectText, WS_TABSTOP | BS_PUSHBUTTON, kDisconnectId);
    EnableWindow(controls_.disconnectButton, FALSE);
    controls_.trafficLog = child(window_, instance_, WC_LISTBOXW, "",
                                 WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, kTrafficLogId,
                                 WS_EX_CLIENTEDGE);
    controls_.textBox = child(window_, instance_, WC_EDITW, "",
                              WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, kTextBoxId,
                              WS_EX_CLIENTEDGE);
    SendMessageW(controls_.textBox, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    controls_.aboutButton =
        child(window_, instance_, WC_BUTTONW, look::kAboutText, WS_TABSTOP | BS_PUSHBUTTON, kAboutId);
    controls_.prompt = child(window_, instance_, WC_STATICW, look::kPrompt.text, SS_LEFTNOWORDWRAP | SS_NOPREFIX);

    HWND tooltips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                    0, 0, 0, 0, window_, nullptr, instance_, nullptr);
    const std::wstring tip = wide(look::kDisconnectTooltip);
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = window_;
    info.uId = UINT_PTR(controls_.disconnectButton);
    info.lpszText = const_cast<wchar_t *>(tip.c_str());
    SendMessageW(tooltips, TTM_ADDTOOLW, 0, LPARAM(&info));
}

void MainWindow::applyDpi(int dpi)
{
    dpi_ = dpi;
    defaultFont_ = makeFont(look::kDefaultFont, dpi);
    logFont_ = makeFont(look::kTrafficLogFont, dpi);
    textBoxFont_ = makeFont(look::kTextBoxFont, dpi);
    promptFont_ = makeFont(look::kPrompt.font, dpi);

    place(controls_.portFrame, scaled(look::kPortFrame, dpi));
    place(controls_.trafficFrame, scaled(look::kTrafficFrame, dpi));
    place(controls_.keyboardFrame, scaled(look::kKeyboardFrame, dpi));
    place(indicator_.handle(), scaled(look::kIndicator, dpi, look::kPortFrame));
    portList_.place(scaled(look::kPortList, dpi, look::kPortFrame), look::kDefaultFont, dpi);
    place(controls_.disconnectButton, scaled(look::kDisconnectButton, dpi, look::kPortFrame));
    place(controls_.trafficLog, scaled(look::kTrafficLog, dpi, look::kTrafficFrame));
    place(controls_.textBox, scaled(look::kTextBox, dpi, look::kKeyboardFrame));
    place(controls_.aboutButton, scaled(look::kAboutButton, dpi));
    place(controls_.prompt, scaled(look::kPrompt.rect, dpi));
    for (HWND control : {controls_.portFrame, controls_.trafficFrame, controls_.keyboardFrame,
                         controls_.disconnectButton, controls_.aboutButton})
        setFont(control, defaultFont_);
    setFont(controls_.trafficLog, logFont_);
    setFont(controls_.textBox, textBoxFont_);
    setFont(controls_.prompt, promptFont_);

    // The client area at `dpi`, inside a frame of the window's own.
    RECT frame{0, 0, scaled(look::kClient.width, dpi), scaled(look::kClient.height, dpi)};
    AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, GetDpiForWindow(window_));
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window_, nullptr, TRUE);
}

void MainWindow::show(int command)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT frame{};
    GetWindowRect(window_, &frame);
    const RECT &work = monitor.rcWork;
    SetWindowPos(window_, nullptr, (work.left + work.right - (frame.right - frame.left)) / 2,
                 (work.top + work.bottom - (frame.bottom - frame.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window_, command);
    UpdateWindow(window_);
}

int MainWindow::run()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab and the arrow keys move between the controls.
        if (IsDialogMessageW(GetAncestor(message.hwnd, GA_ROOT), &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return int(message.wParam);
}

void MainWindow::postLinkEvents()
{
    PostMessageW(window_, kLinkEventsMessage, 0, 0);
}

void MainWindow::postDeviceLost()
{
    PostMessageW(window_, kDeviceLostMessage, 0, 0);
}

void MainWindow::call(const std::function<void()> &handler)
{
    if (handler)
        handler();
}

LRESULT MainWindow::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    window_ = window;
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_MEASUREITEM:
        if (wParam == kPortListId && portList_.handle())
            portList_.measure(*reinterpret_cast<MEASUREITEMSTRUCT *>(lParam));
        return TRUE;
    case WM_DRAWITEM:
        portList_.draw(*reinterpret_cast<const DRAWITEMSTRUCT *>(lParam));
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<const NMHDR *>(lParam)->code == TTN_GETDISPINFOW)
            portList_.tooltipText(*reinterpret_cast<NMTTDISPINFOW *>(lParam));
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return colourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR:
        if (pointerOverDisconnect()) {
            SetCursor(hand_);
            return TRUE;
        }
        break;
    case WM_PAINT:
        paint();
        return 0;
    case WM_TIMER:
        if (wParam == kFrameTimer)
            flushUpdates();
        return 0;
    case kLinkEventsMessage:
        call(handlers_.linkEventsWaiting);
        return 0;
    case kDeviceLostMessage:
        call(handlers_.deviceLost);
        return 0;
    case kPickMessage:
        pickPosted_ = false;
        call(handlers_.portPicked);
        return 0;
    case WM_DEVICECHANGE:
        if ((wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE || wParam == DBT_DEVNODES_CHANGED)
            && !isPortListOpen())
            call(handlers_.devicesChanged);
        return TRUE;
    case WM_DPICHANGED: {
        applyDpi(HIWORD(wParam));
        const RECT &suggested = *reinterpret_cast<const RECT *>(lParam);
        SetWindowPos(window_, nullptr, suggested.left, suggested.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (HWND focus = GetFocus(); focus && IsChild(window_, focus))
                focus_ = focus;
        } else if (focus_ && !HIWORD(wParam)) {
            SetFocus(focus_);
            return 0;
        }
        break;
    case WM_CLOSE:
        call(handlers_.closing);
        DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void MainWindow::command(int id, int code)
{
    if (id == kPortListId) {
        if (code == CBN_DROPDOWN) {
            call(handlers_.portListOpening);
        } else if ((code == CBN_SELENDOK || (code == CBN_SELCHANGE && !isPortListOpen())) && !pickPosted_
                   && portList_.selectedNumber() != 0) {
            // Asked once the list has closed: the box must not come while
            // the list still tracks the pointer.
            pickPosted_ = true;
            PostMessageW(window_, kPickMessage, 0, 0);
        }
    } else if (id == kDisconnectId && code == BN_CLICKED) {
        call(handlers_.disconnectClicked);
    } else if (id == kAboutId && code == BN_CLICKED) {
        showAbout();
    }
}

LRESULT MainWindow::colourStatic(HDC dc, HWND control)
{
    // Frames, buttons and the prompt stand on the window's own colour.
    SetBkColor(dc, colour(look::kBackground));
    SetBkMode(dc, TRANSPARENT);
    if (control == controls_.prompt)
        SetTextColor(dc, colour(look::kPrompt.colour));
    else if (control == controls_.keyboardFrame)
        SetTextColor(dc, colour(look::kKeyboardFrameTitleColour));
    return LRESULT(background_.get());
}

bool MainWindow::pointerOverDisconnect() const
{
    POINT pointer{};
    RECT button{};
    GetCursorPos(&pointer);
    GetWindowRect(controls_.disconnectButton, &button);
    return PtInRect(&button, pointer) && WindowFromPoint(pointer) != nullptr
        && GetAncestor(WindowFromPoint(pointer), GA_ROOT) == window_;
}

void MainWindow::paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    accessory_.draw(dc, scaled(look::kAccessoryPicture, dpi_));
    EndPaint(window_, &ps);
}

void MainWindow::showAbout()
{
    AboutWindow about(instance_, dpi_);
    about.showModal(window_);
}

void MainWindow::addLogEntry(std::string_view text)
{
    pendingLog_.push_back(wide(text));
    scheduleFrame();
}

void MainWindow::setPrompt(std::string_view text)
{
    pendingPrompt_ = wide(text);
    scheduleFrame();
}

void MainWindow::scheduleFrame()
{
    // Started once, not again for each update: a steady stream of lines
    // must not keep putting the frame off.
    if (!framePending_)
        framePending_ = SetTimer(window_, kFrameTimer, kFrameMilliseconds, nullptr) != 0;
}

void MainWindow::flushUpdates()
{
    KillTimer(window_, kFrameTimer);
    framePending_ = false;
    if (!pendingLog_.empty()) {
        HWND log = controls_.trafficLog;
        SendMessageW(log, WM_SETREDRAW, FALSE, 0);
        for (const std::wstring &entry : pendingLog_)
            SendMessageW(log, LB_ADDSTRING, 0, LPARAM(entry.c_str()));
        pendingLog_.clear();
        const int excess = int(SendMessageW(log, LB_GETCOUNT, 0, 0)) - kMaxLogEntries;
        for (int gone = 0; excess > 0 && gone < (excess + kTrimBatch - 1) / kTrimBatch * kTrimBatch; ++gone)
            SendMessageW(log, LB_DELETESTRING, 0, 0);
        // The newest received line is the selected entry.
        SendMessageW(log, LB_SETCURSEL, WPARAM(SendMessageW(log, LB_GETCOUNT, 0, 0) - 2), 0);
        SendMessageW(log, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(log, nullptr, TRUE);
    }
    if (pendingPrompt_) {
        SetWindowTextW(controls_.prompt, pendingPrompt_->c_str());
        pendingPrompt_.reset();
    }
}

bool MainWindow::isNormalState() const
{
    return !IsIconic(window_) && !IsZoomed(window_);
}

void MainWindow::focusTextBox()
{
    // The focus moves at once where the window is active; otherwise the
    // text box takes it when the window is activated.
    if (GetActiveWindow() == window_)
        SetFocus(controls_.textBox);
    else
        focus_ = controls_.textBox;
}

void MainWindow::appendToTextBox(std::string_view text)
{
    const int end = GetWindowTextLengthW(controls_.textBox);
    SendMessageW(controls_.textBox, EM_SETSEL, WPARAM(end), LPARAM(end));
    SendMessageW(controls_.textBox, EM_REPLACESEL, FALSE, LPARAM(wide(text).c_str()));
    SendMessageW(controls_.textBox, EM_SCROLLCARET, 0, 0);
}

void MainWindow::backspaceInTextBox()
{
    SendMessageW(controls_.textBox, WM_CHAR, VK_BACK, 1);
}

void MainWindow::addPortEntry(const std::string &text, int number, const std::string &device)
{
    portList_.addProbed({text, number, device});
}

bool MainWindow::confirmConnect()
{
    return messageBox(window_, look::kConnectQuestion, look::kConnectTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1)
        == IDYES;
}

void MainWindow::reportConnectFailure(const std::string &reason)
{
    // The box keeps its fixed text and title; the cause follows below them
    // and goes into the port list's help (refreshed by the probe that
    // follows) and to standard error.
    notices_.connectFailed(reason);
    messageBox(window_, std::string(look::kFailureText) + "\n\n" + reason, look::kFailureTitle, MB_OK | MB_ICONQUESTION);
}

void MainWindow::reportDeviceLost(const std::string &device, bool reconnects)
{
    // What arrived before the loss stays in the window; then the prompt
    // returns to its start, as a disconnect makes it.
    flushUpdates();
    notices_.deviceLost(device, reconnects);
    SetWindowTextW(controls_.prompt, wide(look::kPrompt.text).c_str());
}

void MainWindow::showKeptDeviceAwaited(bool awaited)
{
    flushUpdates();
    SetWindowTextW(controls_.prompt, wide(awaited ? look::kAwaitedDevicePrompt : look::kPrompt.text).c_str());
}

void MainWindow::clearSession()
{
    // What the link said before the port closed is taken in, then dropped
    // with the rest.
    call(handlers_.linkEventsWaiting);
    pendingLog_.clear();
    pendingPrompt_.reset();
    KillTimer(window_, kFrameTimer);
    framePending_ = false;
    SetWindowTextW(controls_.textBox, L"");
    SendMessageW(controls_.trafficLog, LB_RESETCONTENT, 0, 0);
    SetWindowTextW(controls_.prompt, wide(look::kPrompt.text).c_str());
}

void MainWindow::probeFinished(int listed, const std::vector<core::UnlistedPort> &unlisted)
{
    portList_.setHelp(notices_.probeFinished(listed, unlisted));
}

} // namespace tavlun::ui::windows
