// A compositor of the test's own (libwayland-server, in a thread) that
// offers a seat and the virtual-keyboard manager and then refuses: the
// keyboard itself (unauthorized), or a later keymap. sway never refuses.

#include "app/SystemKeystrokes.h"
#include "support/WaitFor.h"
#include "link/wayland/WaylandKeyInjector.h"
#include "virtual-keyboard-unstable-v1-server-protocol.h"

#include <QCoreApplication>
#include <QStringList>

#include <gtest/gtest.h>

#include <wayland-server.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

using namespace tavlun;

namespace {

class RefusingCompositor {
public:
    enum class Refuse { Keyboard, SecondKeymap };

    explicit RefusingCompositor(Refuse what) : refuse_(what)
    {
        char dir[] = "/tmp/tavlun-refusing-XXXXXX";
        dir_ = mkdtemp(dir);
        socket_ = dir_ + "/wayland-test";
        display_ = wl_display_create();
        if (wl_display_add_socket(display_, socket_.c_str()) != 0)
            socket_.clear();
        wl_global_create(display_, &wl_seat_interface, 1, this, &bindSeat);
        wl_global_create(display_, &zwp_virtual_keyboard_manager_v1_interface, 1, this, &bindManager);
        thread_ = std::thread([this] {
            wl_event_loop *loop = wl_display_get_event_loop(display_);
            while (!stop_) {
                wl_event_loop_dispatch(loop, 20);
                wl_display_flush_clients(display_);
            }
        });
    }
    ~RefusingCompositor()
    {
        stop_ = true;
        thread_.join();
        wl_display_destroy_clients(display_);
        wl_display_destroy(display_);
        rmdir(dir_.c_str());
    }
    const std::string &socket() const { return socket_; }

private:
    static void bindSeat(wl_client *client, void *, std::uint32_t version, std::uint32_t id)
    {
        static const struct wl_seat_interface kSeat{
            nullptr, nullptr, nullptr, [](wl_client *, wl_resource *r) { wl_resource_destroy(r); }};
        wl_resource *seat = wl_resource_create(client, &wl_seat_interface, int(version), id);
        wl_resource_set_implementation(seat, &kSeat, nullptr, nullptr);
    }

    static void bindManager(wl_client *client, void *data, std::uint32_t version, std::uint32_t id)
    {
        static const struct zwp_virtual_keyboard_manager_v1_interface kManager{
            [](wl_client *c, wl_resource *manager, wl_resource *, std::uint32_t keyboardId) {
                auto *self = static_cast<RefusingCompositor *>(wl_resource_get_user_data(manager));
                if (self->refuse_ == Refuse::Keyboard) {
                    wl_resource_post_error(manager, ZWP_VIRTUAL_KEYBOARD_MANAGER_V1_ERROR_UNAUTHORIZED,
                                           "not for you");
                    return;
                }
                wl_resource *keyboard = wl_resource_create(c, &zwp_virtual_keyboard_v1_interface, 1, keyboardId);
                wl_resource_set_implementation(keyboard, keyboardImplementation(), self, nullptr);
            }};
        wl_resource *manager = wl_resource_create(client, &zwp_virtual_keyboard_manager_v1_interface,
                                                  int(version), id);
        wl_resource_set_implementation(manager, &kManager, data, nullptr);
    }

    static const struct zwp_virtual_keyboard_v1_interface *keyboardImplementation()
    {
        static const struct zwp_virtual_keyboard_v1_interface kKeyboard{
        [](wl_client *c, wl_resource *keyboard, std::uint32_t, std::int32_t fd, std::uint32_t) {
            auto *self = static_cast<RefusingCompositor *>(wl_resource_get_user_data(keyboard));
            close(fd);
            if (++self->keymaps_ == 2)
                wl_client_post_no_memory(c); // what wlroots does with a keymap it cannot compile
        },
        [](wl_client *, wl_resource *, std::uint32_t, std::uint32_t, std::uint32_t) {},
        [](wl_client *, wl_resource *, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
        [](wl_client *, wl_resource *r) { wl_resource_destroy(r); }};
        return &kKeyboard;
    }

    Refuse refuse_;
    std::string dir_;
    std::string socket_;
    wl_display *display_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    int keymaps_ = 0;
};

TEST(RefusingCompositor, RefusedKeyboardFailsTheOpeningAndTheChoiceFallsBack)
{
    RefusingCompositor compositor(RefusingCompositor::Refuse::Keyboard);
    ASSERT_FALSE(compositor.socket().empty());
    link::WaylandKeyInjector::Failure failure{};
    QString reason;
    EXPECT_FALSE(link::WaylandKeyInjector::open(QByteArray::fromStdString(compositor.socket()), &failure, &reason));
    EXPECT_EQ(failure, link::WaylandKeyInjector::Failure::Refused);
    EXPECT_TRUE(reason.contains(QStringLiteral("does not allow"))) << reason.toStdString();

    // The session's choice: no XWayland here, so nothing, and it says why.
    qputenv("WAYLAND_DISPLAY", QByteArray::fromStdString(compositor.socket()));
    qunsetenv("DISPLAY");
    QString unavailable;
    auto injector = keystrokes::createKeyInjector(&unavailable);
    qunsetenv("WAYLAND_DISPLAY");
    EXPECT_TRUE(unavailable.contains(QStringLiteral("does not allow"))) << unavailable.toStdString();
    EXPECT_FALSE(injector->sendKeys(QStringLiteral("a")));
}

TEST(RefusingCompositor, RefusedKeymapStopsTypingAndIsToldOnce)
{
    RefusingCompositor compositor(RefusingCompositor::Refuse::SecondKeymap);
    ASSERT_FALSE(compositor.socket().empty());
    link::WaylandKeyInjector::Failure failure{};
    QString reason;
    auto injector = link::WaylandKeyInjector::open(QByteArray::fromStdString(compositor.socket()), &failure,
                                                   &reason);
    ASSERT_TRUE(injector) << reason.toStdString();
    QStringList told;
    injector->onProblem = [&told](const QString &problem) { told << problem; };
    EXPECT_TRUE(injector->sendKeys(link::kEnterKey)); // the first keymap holds it
    // A character the keymap lacks sends a second keymap, which is refused;
    // the refusal is seen within the next keys, and told once.
    const bool failed = test::waitFor([&] { return !injector->sendKeys(QStringLiteral("\u011F")); });
    EXPECT_TRUE(failed) << "typing still reported success after the compositor refused the keymap";
    EXPECT_FALSE(injector->sendKeys(QStringLiteral("x")));
    ASSERT_EQ(told.size(), 1) << told.join(QLatin1Char('\n')).toStdString();
}

} // namespace
