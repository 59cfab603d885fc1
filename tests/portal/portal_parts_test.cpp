// The portal backend's parts: the seat's keymap, read from a compositor of
// the test's own (a seat whose keyboard has the layouts us and ru, and which
// says that ru is in use when the test asks it to), and where the restore
// token is kept.
#include "keystrokes/portal/RestoreTokenStore.h"
#include "keystrokes/portal/SeatKeymap.h"

#include <QDir>

#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <wayland-server.h>
#include <xkbcommon/xkbcommon.h>

#include <atomic>
#include <string>
#include <sys/mman.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

using tavlun::keystrokes::RestoreTokenStore;
using tavlun::keystrokes::SeatKeymap;

namespace {

class TestCompositor {
public:
    TestCompositor() : display_(wl_display_create())
    {
        wl_display_add_socket(display_, socket_.c_str());
        wl_global_create(display_, &wl_seat_interface, 5, this, &TestCompositor::bindSeat);
        serving_ = std::thread([this] {
            while (!stop_) {
                wl_event_loop_dispatch(wl_display_get_event_loop(display_), 10);
                if (const int group = groupToSay_.exchange(-1); group >= 0) {
                    for (wl_resource *keyboard : keyboards_)
                        wl_keyboard_send_modifiers(keyboard, wl_display_next_serial(display_), 0, 0, 0, group);
                }
                wl_display_flush_clients(display_);
            }
        });
    }
    ~TestCompositor()
    {
        stop_ = true;
        serving_.join();
        wl_display_destroy_clients(display_);
        wl_display_destroy(display_);
        rmdir(directory_.c_str());
    }

    const std::string &socket() const { return socket_; }
    // Has the keyboards say that the layout `group` is in use.
    void sayGroup(int group) { groupToSay_ = group; }

private:
    static void bindSeat(wl_client *client, void *data, std::uint32_t version, std::uint32_t id)
    {
        static const struct wl_seat_interface seat{
            .get_pointer = [](wl_client *, wl_resource *, std::uint32_t) {},
            .get_keyboard = &TestCompositor::getKeyboard,
            .get_touch = [](wl_client *, wl_resource *, std::uint32_t) {},
            .release = [](wl_client *, wl_resource *resource) { wl_resource_destroy(resource); },
        };
        wl_resource *resource = wl_resource_create(client, &wl_seat_interface, int(version), id);
        wl_resource_set_implementation(resource, &seat, data, nullptr);
        wl_seat_send_capabilities(resource, WL_SEAT_CAPABILITY_KEYBOARD);
    }

    static void getKeyboard(wl_client *client, wl_resource *seat, std::uint32_t id)
    {
        static const struct wl_keyboard_interface keyboard{
            .release = [](wl_client *, wl_resource *resource) { wl_resource_destroy(resource); }};
        auto *compositor = static_cast<TestCompositor *>(wl_resource_get_user_data(seat));
        wl_resource *resource = wl_resource_create(client, &wl_keyboard_interface, wl_resource_get_version(seat), id);
        wl_resource_set_implementation(resource, &keyboard, compositor, [](wl_resource *gone) {
            std::erase(static_cast<TestCompositor *>(wl_resource_get_user_data(gone))->keyboards_, gone);
        });
        compositor->keyboards_.push_back(resource);

        xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        const xkb_rule_names names{nullptr, nullptr, "us,ru", nullptr, nullptr};
        xkb_keymap *keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        char *text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        const std::size_t size = std::string_view(text).size() + 1;
        const int fd = memfd_create("test-keymap", MFD_CLOEXEC);
        if (write(fd, text, size) == ssize_t(size))
            wl_keyboard_send_keymap(resource, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, std::uint32_t(size));
        close(fd);
        free(text);
        xkb_keymap_unref(keymap);
        xkb_context_unref(context);
    }

    std::string directory_ = [] {
        char name[] = "/tmp/tavlun-seat-XXXXXX";
        return std::string(mkdtemp(name));
    }();
    std::string socket_ = directory_ + "/wayland-seat";
    wl_display *display_;
    std::vector<wl_resource *> keyboards_; // touched on the serving thread only
    std::atomic<int> groupToSay_ = -1;
    std::atomic<bool> stop_ = false;
    std::thread serving_;
};

TEST(PortalSeatKeymap, TheLayoutInUseIsTheFirstUntilTheCompositorSaysAnother)
{
    TestCompositor compositor;
    QString reason;
    const auto keymap = SeatKeymap::connect(QByteArray::fromStdString(compositor.socket()), &reason);
    ASSERT_TRUE(keymap) << qPrintable(reason);
    EXPECT_EQ(std::tuple(keymap->keysymFor(U'a'), keymap->keysymFor(U'ф'), keymap->otherLayoutHas(U'ф'),
                         keymap->otherLayoutHas(U'ñ'), keymap->unconfirmedLayout()),
              std::tuple(XKB_KEY_a, 0u, true, false, QStringLiteral("English (US)")))
        << "us in use, ru another layout, ñ in neither; the user told which layout is taken as in use";

    compositor.sayGroup(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return keymap->keysymFor(U'ф') != 0; }, 10000))
        << "the compositor said ru is in use, and a character of ru is still not found";
    EXPECT_EQ(std::tuple(keymap->keysymFor(U'ф'), keymap->keysymFor(U'a'), keymap->unconfirmedLayout()),
              std::tuple(XKB_KEY_Cyrillic_ef, 0u, QString()));
}

TEST(PortalRestoreToken, IsKeptInTheUsersStateFolderWhichOnlyAnAbsoluteXdgStateHomeMoves)
{
    const QString home = QDir::homePath() + QStringLiteral("/.local/state/tavlun");
    const QString elsewhere = QStringLiteral("/var/tmp/state/tavlun");
    for (const auto &[given, expected] : {std::pair{"", home}, {"state", home}, {"/var/tmp/state", elsewhere}}) {
        qputenv("XDG_STATE_HOME", given);
        EXPECT_EQ(RestoreTokenStore::defaultDirectory(), expected) << "XDG_STATE_HOME=" << given;
    }
    qunsetenv("XDG_STATE_HOME");
}

} // namespace
