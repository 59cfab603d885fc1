#include "AboutWindow.h"

#include "Resources.h"
#include "Scaling.h"
#include "WindowClass.h"
#include "ui/layout/AboutWindowLayout.h"

#include <commctrl.h>
#include <shellapi.h>

namespace tavlun::ui::windows {

namespace look = layout::aboutwindow;

namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME;
const wchar_t kClass[] = L"TavlunAboutWindow";
enum : int { kMailId = 200, kWebId };

HWND label(HWND parent, HINSTANCE instance, std::string_view text, PixelRect where, DWORD style = 0, int id = 0)
{
    return CreateWindowExW(0, WC_STATICW, wide(text).c_str(), WS_CHILD | WS_VISIBLE | SS_CENTER | SS_NOPREFIX | style,
                           where.left, where.top, where.width, where.height, parent, HMENU(INT_PTR(id)), instance,
                           nullptr);
}

PixelRect inFrame(layout::Rect rect, int dpi)
{
    return scaled(rect, dpi, look::kLinkFrame);
}

bool contains(PixelRect r, POINT p)
{
    return p.x >= r.left && p.x < r.left + r.width && p.y >= r.top && p.y < r.top + r.height;
}

} // namespace

AboutWindow::AboutWindow(HINSTANCE instance, int dpi)
    : instance_(instance),
      dpi_(dpi),
      accessory_(TAVLUN_ACCESSORY_PICTURE),
      background_(CreateSolidBrush(colour(look::kBackground))),
      productFont_(makeFont(look::kProductName.font, dpi)),
      smallFont_(makeFont(look::kSmallFont, dpi)),
      underlinedFont_(makeFont(look::kSmallFont, dpi, true)),
      noticeFont_(makeFont(look::kNoticeFont, dpi))
{
    registerOwnedWindowClass<AboutWindow>(instance, kClass);
}

AboutWindow::~AboutWindow()
{
    if (window_)
        DestroyWindow(window_);
}

void AboutWindow::createControls()
{
    productName_ = label(window_, instance_, look::kProductName.text, scaled(look::kProductName.rect, dpi_));
    authorLine_ = label(window_, instance_, look::kAuthorLine.text, inFrame(look::kAuthorLine.rect, dpi_));
    links_[kMail] = label(window_, instance_, look::kMailLink.text, inFrame(look::kMailLink.rect, dpi_), SS_NOTIFY,
                          kMailId);
    links_[kWeb] = label(window_, instance_, look::kWebLink.text, inFrame(look::kWebLink.rect, dpi_), SS_NOTIFY,
                         kWebId);
    noticeLine_ = label(window_, instance_, look::noticeLine(), inFrame(look::kNoticeLine, dpi_));
    SendMessageW(productName_, WM_SETFONT, WPARAM(productFont_.get()), FALSE);
    for (HWND small : {authorLine_, links_[kMail], links_[kWeb]})
        SendMessageW(small, WM_SETFONT, WPARAM(smallFont_.get()), FALSE);
    SendMessageW(noticeLine_, WM_SETFONT, WPARAM(noticeFont_.get()), FALSE);
    for (HWND link : links_)
        SetWindowSubclass(link, watchLink, 1, DWORD_PTR(this));
}

void AboutWindow::create(HWND owner)
{
    RECT frame{0, 0, scaled(look::kClient.width, dpi_), scaled(look::kClient.height, dpi_)};
    AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, UINT(dpi_));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT &work = monitor.rcWork;
    // Owned by the main window, so that it stays in front of it.
    window_ = CreateWindowExW(kExStyle, kClass, wide(look::kCaption).c_str(), kStyle,
                              (work.left + work.right - width) / 2, (work.top + work.bottom - height) / 2, width,
                              height, owner, nullptr, instance_, this);
    createControls();
}

void AboutWindow::showModal(HWND owner)
{
    create(owner);
    EnableWindow(owner, FALSE);
    ShowWindow(window_, SW_SHOW);
    MSG message;
    while (window_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (message.message == WM_QUIT)
        PostQuitMessage(int(message.wParam));
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
}

LRESULT AboutWindow::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    window_ = window;
    switch (message) {
    case WM_ERASEBKGND: {
        RECT area;
        GetClientRect(window_, &area);
        FillRect(reinterpret_cast<HDC>(wParam), &area, background_.get());
        return 1;
    }
    case WM_PAINT:
        paint();
        return 0;
    case WM_CTLCOLORSTATIC: {
        const HWND control = reinterpret_cast<HWND>(lParam);
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkMode(dc, TRANSPARENT);
        std::uint32_t text = layout::kSystemButtonText;
        if (control == productName_)
            text = look::kProductName.colour;
        else if (control == authorLine_)
            text = look::kAuthorLine.colour;
        for (const Link which : {kMail, kWeb}) {
            if (control == links_[which])
                text = states_[which] == LinkState::Lit     ? look::kLinkLit
                    : states_[which] == LinkState::Plain ? look::kLinkPlain
                                                         : (which == kMail ? look::kMailLink : look::kWebLink).colour;
        }
        SetTextColor(dc, colour(text));
        // Transparent: the frame's edge shows through the labels across it.
        return LRESULT(GetStockObject(NULL_BRUSH));
    }
    case WM_MOUSEMOVE:
        pointerMoved({short(LOWORD(lParam)), short(HIWORD(lParam))});
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == STN_CLICKED && (LOWORD(wParam) == kMailId || LOWORD(wParam) == kWebId))
            open(LOWORD(wParam) == kMailId ? kMail : kWeb);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window_);
        return 0;
    case WM_NCDESTROY:
        window_ = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK AboutWindow::watchLink(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR self)
{
    auto *about = reinterpret_cast<AboutWindow *>(self);
    if (message == WM_MOUSEMOVE)
        about->setState(window == about->links_[kMail] ? kMail : kWeb, LinkState::Lit);
    if (message == WM_SETCURSOR) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void AboutWindow::pointerMoved(POINT where)
{
    // Over the frame's own area: not over a label that covers it.
    if (!contains(scaled(look::kLinkFrame, dpi_), where))
        return;
    for (const layout::Rect &covered : {look::kAuthorLine.rect, look::kMailLink.rect, look::kWebLink.rect, look::kNoticeLine})
        if (contains(inFrame(covered, dpi_), where))
            return;
    setState(kMail, LinkState::Plain);
    setState(kWeb, LinkState::Plain);
}

void AboutWindow::setState(Link which, LinkState state)
{
    states_[which] = state;
    SendMessageW(links_[which], WM_SETFONT,
                 WPARAM(state == LinkState::Lit ? underlinedFont_.get() : smallFont_.get()), FALSE);
    // A transparent label is redrawn over the window's own background.
    RECT area{};
    GetWindowRect(links_[which], &area);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT *>(&area), 2);
    RedrawWindow(window_, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void AboutWindow::open(Link which) const
{
    const bool mail = which == kMail;
    const std::string target = std::string(mail ? look::kMailTargetScheme : look::kWebTargetScheme)
        + std::string(mail ? look::kMailLink.text : look::kWebLink.text);
    ShellExecuteW(window_, L"open", wide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void AboutWindow::paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    accessory_.draw(dc, scaled(look::kAccessoryPicture, dpi_));
    const PixelRect frame = scaled(look::kLinkFrame, dpi_);
    RECT edge{frame.left, frame.top, frame.left + frame.width, frame.top + frame.height};
    DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
    EndPaint(window_, &ps);
}

} // namespace tavlun::ui::windows
