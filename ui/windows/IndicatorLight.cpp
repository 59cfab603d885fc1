#include "IndicatorLight.h"

#include "Gdi.h"
#include "WindowClass.h"
#include "ui/layout/MainWindowLayout.h"

namespace tavlun::ui::windows {

namespace look = layout::mainwindow;

void IndicatorLight::create(HWND parent, HINSTANCE instance)
{
    static const wchar_t kClass[] = L"TavlunIndicatorLight";
    registerOwnedWindowClass<IndicatorLight>(instance, kClass);
    window_ = CreateWindowExW(0, kClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent, nullptr, instance, this);
}

void IndicatorLight::setConnected(bool connected)
{
    connected_ = connected;
    InvalidateRect(window_, nullptr, TRUE);
}

LRESULT IndicatorLight::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    window_ = window;
    if (message == WM_PAINT) {
        paint();
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1; // painting covers everything
    return DefWindowProcW(window, message, wParam, lParam);
}

void IndicatorLight::paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    RECT area;
    GetClientRect(window_, &area);
    const Brush background(CreateSolidBrush(colour(look::kBackground)));
    FillRect(dc, &area, background.get());
    const Brush fill(CreateSolidBrush(colour(connected_ ? look::kIndicatorConnected : look::kIndicatorIdle)));
    HGDIOBJ oldBrush = SelectObject(dc, fill.get());
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    Ellipse(dc, area.left, area.top, area.right, area.bottom);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    EndPaint(window_, &ps);
}

} // namespace tavlun::ui::windows
