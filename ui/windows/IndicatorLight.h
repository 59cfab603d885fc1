#pragma once

#include <windows.h>

namespace tavlun::ui::windows {

// The connection indicator: a circle with a black outline, filled blue
// while connected and in the window background's system colour otherwise,
// drawn on the window's own background.
class IndicatorLight {
public:
    void create(HWND parent, HINSTANCE instance);
    HWND handle() const { return window_; }

    void setConnected(bool connected);
    bool connected() const { return connected_; }

    LRESULT onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void paint();

    HWND window_ = nullptr;
    bool connected_ = false;
};

} // namespace tavlun::ui::windows
