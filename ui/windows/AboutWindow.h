#pragma once

#include "Gdi.h"
#include "Picture.h"

#include <windows.h>

#include <array>

namespace tavlun::ui::windows {

// The about window: the product name, a picture of the accessory, an author
// line, two links (the e-mail and the web address) and a notice line, on a
// fixed tool window. A link lights up (red, underlined) when the pointer
// moves over it, goes plain (black) when the pointer moves over the frame
// around them, and opens in the desktop shell when clicked. Each showing is
// a new window, so it starts with both links in the default label colour.
class AboutWindow {
public:
    enum class LinkState { Start, Lit, Plain };
    enum Link { kMail, kWeb };

    AboutWindow(HINSTANCE instance, int dpi);
    ~AboutWindow();
    AboutWindow(const AboutWindow &) = delete;
    AboutWindow &operator=(const AboutWindow &) = delete;

    // Shows the window in front of `owner`, which takes no input until it
    // has been closed, and returns then.
    void showModal(HWND owner);
    // Creates the window in front of `owner`, hidden.
    void create(HWND owner);

    HWND handle() const { return window_; }
    HWND link(Link which) const { return links_[which]; }
    LinkState state(Link which) const { return states_[which]; }

    LRESULT onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK watchLink(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR self);
    void createControls();
    void setState(Link which, LinkState state);
    void pointerMoved(POINT where);
    void open(Link which) const;
    void paint();

    HINSTANCE instance_;
    int dpi_;
    HWND window_ = nullptr;
    Picture accessory_;
    Brush background_;
    Font productFont_, smallFont_, underlinedFont_, noticeFont_;
    HWND productName_ = nullptr, authorLine_ = nullptr, noticeLine_ = nullptr;
    std::array<HWND, 2> links_{};
    std::array<LinkState, 2> states_{LinkState::Start, LinkState::Start};
};

} // namespace tavlun::ui::windows
