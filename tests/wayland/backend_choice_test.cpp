#include "keystrokes/BackendChoice.h"
#include "keystrokes/SystemKeystrokes.h"
#include "keystrokes/wayland/VirtualKeymap.h"
#include "virtual-keyboard-unstable-v1-server-protocol.h"

#include <gtest/gtest.h>

#include <wayland-server.h>

#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <tuple>
#include <unistd.h>

using namespace tavlun::keystrokes;

namespace {

TEST(BackendChoice, EachKindOfSessionGetsItsBackendAndItsQtPlatform)
{
    // What, the facts (XDG_SESSION_TYPE, WAYLAND_DISPLAY, DISPLAY, XDG_CURRENT_DESKTOP, SWAYSOCK, a virtual
    // keyboard, why not, the RemoteDesktop portal's version), the backend, a notice, the Qt plugin.
    const std::tuple<const char *, SessionFacts, Backend, bool, const char *> cases[] = {
        {"X11", {"x11", "", ":0", "GNOME", "", false, {}, 2}, Backend::XTest, false, ""},
        {"nothing", {"tty", "", "", "", "", false, {}, 0}, Backend::Unavailable, false, ""},
        {"sway", {"wayland", "wayland-1", ":0", "sway", "/run/sway-ipc.sock", true, {}, 0}, Backend::VirtualKeyboard, false, ""},
        {"sway, no IPC", {"wayland", "wayland-1", ":0", "sway", "", true, {}, 0}, Backend::VirtualKeyboard, false, "xcb"},
        {"wlroots, type unset", {"", "wayland-0", "", "", "", true, {}, 2}, Backend::VirtualKeyboard, false, ""},
        {"Ubuntu's GNOME", {"wayland", "wayland-0", ":0", "ubuntu:GNOME", "", false, {}, 2}, Backend::Portal, false, "xcb"},
        {"KDE, no XWayland", {"wayland", "wayland-0", "", "KDE", "", false, {}, 1}, Backend::Portal, false, ""},
        {"GNOME, no portal", {"wayland", "wayland-0", ":0", "GNOME", "", false, {}, 0}, Backend::XTestThroughXWayland, true, "xcb"},
        {"Hyprland, portal", {"wayland", "wayland-0", ":0", "Hyprland", "", false, {}, 2}, Backend::XTestThroughXWayland, true, "xcb"},
        {"type says Wayland", {"wayland", "", ":0", "", "", false, {}, 0}, Backend::XTestThroughXWayland, true, "xcb"},
        {"WAYLAND_DISPLAY, type x11", {"x11", "wayland-0", ":0", "", "", false, {}, 0}, Backend::XTestThroughXWayland, true, "xcb"},
        {"no XWayland", {"wayland", "wayland-0", "", "sway", "", false, {}, 0}, Backend::Unavailable, false, ""},
    };
    for (const auto &[what, given, expected, notice, platform] : cases) {
        // The session's part of the facts as the program reads it: from the environment.
        for (const auto &[name, value] : {std::pair{"XDG_SESSION_TYPE", given.sessionType}, {"WAYLAND_DISPLAY", given.waylandDisplay},
                                          {"DISPLAY", given.x11Display}, {"XDG_CURRENT_DESKTOP", given.currentDesktop},
                                          {"SWAYSOCK", given.swaySocket}})
            value.isEmpty() ? qunsetenv(name) : qputenv(name, value.toUtf8());
        SessionFacts facts = SessionFacts::fromEnvironment();
        facts.virtualKeyboard = given.virtualKeyboard;
        facts.remoteDesktopPortalVersion = given.remoteDesktopPortalVersion;
        const BackendChoice choice = chooseBackend(facts);
        EXPECT_EQ(choice.backend, expected) << what << ": expected " << backendName(expected) << ", got "
                                            << backendName(choice.backend) << " (" << qPrintable(choice.why) << ")";
        EXPECT_EQ(!choice.notice.isEmpty(), notice) << what << ": notice \"" << qPrintable(choice.notice) << "\"";
        EXPECT_EQ(preferredQtPlatform(facts, ""), QByteArray(platform)) << what;
    }
    qunsetenv("SWAYSOCK");
    EXPECT_EQ(preferredQtPlatform(std::get<1>(cases[3]), "wayland"), "") << "the user's choice of plugin stands";
    for (const auto &[name, value] : {std::pair{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"},
                                      {"DISPLAY", ":0"}, {"XDG_CURRENT_DESKTOP", "GNOME"}})
        qputenv(name, value);
    EXPECT_EQ(chooseBackend(SessionFacts::fromEnvironment()).backend, Backend::XTestThroughXWayland)
        << "the variables alone, nothing probed, claimed a virtual keyboard or a portal";
}

// A compositor of the test's own that offers a seat and the virtual-keyboard
// manager and refuses the keyboard, as sway never does; and a socket where
// no compositor ever answers.
TEST(BackendChoice, TheSessionSaysWhyKeysCannotBeTyped)
{
    char dir[] = "/tmp/tavlun-refusing-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    const std::string socket = std::string(dir) + "/wayland-test";
    const std::string silent = std::string(dir) + "/wayland-silent";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    silent.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0); // connections wait in the backlog, never accepted
    wl_display *display = wl_display_create();
    ASSERT_EQ(wl_display_add_socket(display, socket.c_str()), 0);
    wl_global_create(display, &wl_seat_interface, 1, nullptr, // a seat that no request reaches
                     [](wl_client *c, void *, uint32_t v, uint32_t id) { wl_resource_create(c, &wl_seat_interface, int(v), id); });
    wl_global_create(display, &zwp_virtual_keyboard_manager_v1_interface, 1, nullptr,
                     [](wl_client *c, void *, uint32_t v, uint32_t id) {
        static const struct zwp_virtual_keyboard_manager_v1_interface manager{
            [](wl_client *, wl_resource *m, wl_resource *, uint32_t) {
                wl_resource_post_error(m, ZWP_VIRTUAL_KEYBOARD_MANAGER_V1_ERROR_UNAUTHORIZED, "not for you");
            }};
        wl_resource_set_implementation(wl_resource_create(c, &zwp_virtual_keyboard_manager_v1_interface, int(v), id),
                                       &manager, nullptr, nullptr);
    });
    std::thread loop(wl_display_run, display);

    const char *const cases[][3] = {
        {socket.c_str(), nullptr, "does not allow this program a virtual keyboard; no RemoteDesktop portal"},
        {silent.c_str(), nullptr, "(the compositor did not answer; no RemoteDesktop portal)"},
        {nullptr, ":7711", "cannot open X display \":7711\""},
        {nullptr, nullptr, "DISPLAY is not set"},
    };
    qunsetenv("XDG_SESSION_TYPE");
    for (const auto &[wayland, x11, expected] : cases) {
        wayland ? qputenv("WAYLAND_DISPLAY", wayland) : qunsetenv("WAYLAND_DISPLAY");
        x11 ? qputenv("DISPLAY", x11) : qunsetenv("DISPLAY");
        std::string reason;
        auto injector = createKeyInjector(&reason);
        EXPECT_NE(reason.find(expected), std::string::npos) << "expected \"" << expected << "\" in \"" << reason << "\"";
        EXPECT_FALSE(injector->type(tavlun::core::Key::character('a'))) << expected;
    }
    qunsetenv("WAYLAND_DISPLAY");
    wl_display_terminate(display);
    loop.join();
    wl_display_destroy_clients(display);
    wl_display_destroy(display);
    close(listener);
    unlink(silent.c_str());
    rmdir(dir);
}

// A full pool gives up the key used longest ago; an undone bind gives it back.
TEST(VirtualKeymap, AFullPoolTakesTheKeyUsedLongestAgoAndAnUndoneBindGivesItBack)
{
    constexpr std::uint32_t pool = tavlun::keystrokes::VirtualKeymap::kPoolSize; // keysyms 1 to pool fill it
    tavlun::keystrokes::VirtualKeymap keymap;
    for (std::uint32_t keysym = 1; keysym <= pool; ++keysym)
        keymap.bind(keysym);
    const auto firstKey = keymap.keyFor(1); // used again: keysym 2's key is now the oldest
    const std::uint32_t taken = keymap.bind(pool + 1);
    keymap.unbindLast();
    EXPECT_EQ(std::tuple(keymap.keyFor(1), keymap.keyFor(2), keymap.keyFor(pool + 1)), std::tuple(firstKey, taken, std::nullopt));
}

} // namespace
