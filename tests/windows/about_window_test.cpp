// The about window's links: lit under the pointer, plain again over the
// frame's own area, untouched over the labels that cover it.
#include "ui/layout/AboutWindowLayout.h"
#include "ui/windows/AboutWindow.h"
#include "ui/windows/Scaling.h"

#include <gtest/gtest.h>

using namespace tavlun;
using namespace tavlun::ui::windows;
using State = AboutWindow::LinkState;
namespace look = layout::aboutwindow;

namespace {

// A pointer move over `window` at a point in the about window's client area.
void moveOver(HWND window, HWND about, int x, int y)
{
    POINT p{x, y};
    MapWindowPoints(about, window, &p, 1);
    SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
}

} // namespace

TEST(AboutWindow, LinksLightUpUnderThePointerAndGoPlainOverTheFrame)
{
    AboutWindow about(GetModuleHandleW(nullptr), 96);
    about.create(nullptr);
    HWND window = about.handle();
    EXPECT_EQ(about.state(AboutWindow::kMail), State::Start);

    const PixelRect frame = scaled(look::kLinkFrame, 96);
    const PixelRect mail = scaled(look::kMailLink.rect, 96, look::kLinkFrame);
    moveOver(about.link(AboutWindow::kMail), window, mail.left + 5, mail.top + 5);
    EXPECT_EQ(about.state(AboutWindow::kMail), State::Lit);
    EXPECT_EQ(about.state(AboutWindow::kWeb), State::Start);

    // Down to the web link, across the strip of frame between them.
    moveOver(window, window, mail.left + 5, mail.top + mail.height + 1);
    EXPECT_EQ(about.state(AboutWindow::kMail), State::Plain);
    EXPECT_EQ(about.state(AboutWindow::kWeb), State::Plain);
    const PixelRect web = scaled(look::kWebLink.rect, 96, look::kLinkFrame);
    moveOver(about.link(AboutWindow::kWeb), window, web.left + 5, web.top + 5);
    EXPECT_EQ(about.state(AboutWindow::kWeb), State::Lit);

    // Over the author line, or out of the frame sideways: the link stays lit.
    const PixelRect author = scaled(look::kAuthorLine.rect, 96, look::kLinkFrame);
    moveOver(window, window, author.left + 5, author.top + 5);
    moveOver(window, window, frame.left - 5, web.top + 5);
    EXPECT_EQ(about.state(AboutWindow::kWeb), State::Lit);
}

TEST(AboutWindow, IsModalToItsOwnerUntilClosed)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    static HWND seenOwner;
    static bool shownOverDisabledOwner;
    seenOwner = owner;
    shownOverDisabledOwner = false;
    // While the window is up, a timer of this thread looks, then closes it.
    const UINT_PTR timer = SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND about = FindWindowW(L"TavlunAboutWindow", nullptr);
        shownOverDisabledOwner = about && IsWindowVisible(about) && !IsWindowEnabled(seenOwner)
            && GetWindow(about, GW_OWNER) == seenOwner;
        if (about)
            PostMessageW(about, WM_CLOSE, 0, 0);
    });
    AboutWindow about(GetModuleHandleW(nullptr), 96);
    about.showModal(owner);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(shownOverDisabledOwner);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(about.handle(), nullptr);
    DestroyWindow(owner);
}
