#include "app/KeystrokeBackend.h"

#include <gtest/gtest.h>

using namespace tavlun::keystrokes;

namespace {

TEST(BackendChoice, EachKindOfSessionGetsItsBackend)
{
    struct Case {
        const char *what;
        SessionFacts facts;
        Backend expected;
        bool notice;
    };
    const auto facts = [](const char *type, const char *wayland, const char *x11, const char *desktop,
                          bool virtualKeyboard, int portal) {
        SessionFacts f;
        f.sessionType = QString::fromLatin1(type);
        f.waylandDisplay = QString::fromLatin1(wayland);
        f.x11Display = QString::fromLatin1(x11);
        f.currentDesktop = QString::fromLatin1(desktop);
        f.virtualKeyboard = virtualKeyboard;
        f.remoteDesktopPortalVersion = portal;
        return f;
    };
    const Case cases[] = {
        {"X11 session", facts("x11", "", ":0", "XFCE", false, 0), Backend::XTest, false},
        {"X11 session with a portal", facts("x11", "", ":0", "GNOME", false, 2), Backend::XTest, false},
        {"nothing at all", facts("", "", "", "", false, 0), Backend::Unavailable, false},
        {"tty session type, no display", facts("tty", "", "", "", false, 0), Backend::Unavailable, false},
        {"sway", facts("wayland", "wayland-1", ":0", "sway", true, 0), Backend::VirtualKeyboard, false},
        {"wlroots, session type unset", facts("", "wayland-0", ":1", "", true, 0), Backend::VirtualKeyboard, false},
        {"virtual keyboard beats the portal", facts("wayland", "wayland-0", ":0", "KDE", true, 2),
         Backend::VirtualKeyboard, false},
        {"GNOME", facts("wayland", "wayland-0", ":0", "GNOME", false, 1), Backend::Portal, false},
        {"Ubuntu's GNOME", facts("wayland", "wayland-0", ":0", "ubuntu:GNOME", false, 2), Backend::Portal, false},
        {"KDE without XWayland", facts("wayland", "wayland-0", "", "KDE", false, 2), Backend::Portal, false},
        {"GNOME without the portal", facts("wayland", "wayland-0", ":0", "GNOME", false, 0),
         Backend::XTestThroughXWayland, true},
        {"other desktop with a portal", facts("wayland", "wayland-0", ":0", "Hyprland", false, 2),
         Backend::XTestThroughXWayland, true},
        {"session type says Wayland, DISPLAY set", facts("wayland", "", ":0", "", false, 0),
         Backend::XTestThroughXWayland, true},
        {"WAYLAND_DISPLAY set, session type x11", facts("x11", "wayland-0", ":0", "", false, 0),
         Backend::XTestThroughXWayland, true},
        {"Wayland, nothing offered, no XWayland", facts("wayland", "wayland-0", "", "sway", false, 0),
         Backend::Unavailable, false},
    };
    SessionFacts refused = facts("", "wayland-0", "", "", false, 0);
    refused.virtualKeyboardProblem = QStringLiteral("the compositor does not allow this program a virtual keyboard");
    const BackendChoice none = chooseBackend(refused);
    EXPECT_EQ(none.backend, Backend::Unavailable);
    for (const char *part : {"does not allow", "no RemoteDesktop portal", "DISPLAY is not set"})
        EXPECT_TRUE(none.why.contains(QLatin1String(part)))
            << "expected \"" << part << "\" in \"" << none.why.toStdString() << "\"";
    for (const Case &c : cases) {
        const BackendChoice choice = chooseBackend(c.facts);
        EXPECT_EQ(choice.backend, c.expected)
            << c.what << ": expected " << backendName(c.expected) << ", got " << backendName(choice.backend)
            << " (" << choice.why.toStdString() << ")";
        EXPECT_FALSE(choice.why.isEmpty()) << c.what;
        EXPECT_EQ(!choice.notice.isEmpty(), c.notice) << c.what << ": notice \"" << choice.notice.toStdString() << "\"";
    }
}

TEST(BackendChoice, WindowRunsOnXWaylandWhereTheDesktopCanSayItIsMinimised)
{
    struct Case {
        const char *wayland;
        const char *x11;
        const char *requested;
        const char *expected;
    };
    const Case cases[] = {
        {"wayland-0", ":0", "", "xcb"},
        {"wayland-0", ":0", "wayland", ""}, // the user's choice stands
        {"wayland-0", "", "", ""},          // no XWayland
        {"", ":0", "", ""},                 // X11: Qt's own choice is xcb anyway
    };
    for (const Case &c : cases) {
        SessionFacts facts;
        facts.waylandDisplay = QString::fromLatin1(c.wayland);
        facts.x11Display = QString::fromLatin1(c.x11);
        EXPECT_EQ(preferredQtPlatform(facts, c.requested), QByteArray(c.expected))
            << "WAYLAND_DISPLAY=" << c.wayland << " DISPLAY=" << c.x11 << " QT_QPA_PLATFORM=" << c.requested;
    }
}

} // namespace
