#pragma once

#include <windows.h>

namespace tavlun::ui::windows {

// The window procedure of a window class whose windows belong to an
// instance of Owner, handed to CreateWindowEx as its creation parameter:
// every message from WM_NCCREATE on goes to that instance's
// onMessage(window, message, wParam, lParam).
template <typename Owner> LRESULT CALLBACK ownedWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          LONG_PTR(reinterpret_cast<const CREATESTRUCTW *>(lParam)->lpCreateParams));
    if (auto *owner = reinterpret_cast<Owner *>(GetWindowLongPtrW(window, GWLP_USERDATA)))
        return owner->onMessage(window, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

// Registers the window class `name` for Owner's windows, with the arrow
// pointer; registering it again changes nothing.
template <typename Owner>
void registerOwnedWindowClass(HINSTANCE instance, const wchar_t *name, HBRUSH background = nullptr,
                              HICON icon = nullptr, HICON smallIcon = nullptr)
{
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = ownedWindowProcedure<Owner>;
    type.hInstance = instance;
    type.hIcon = icon;
    type.hIconSm = smallIcon;
    type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = background;
    type.lpszClassName = name;
    RegisterClassExW(&type);
}

} // namespace tavlun::ui::windows
