#include "SeatKeymap.h"

#include <QSocketNotifier>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace tavlun::link {

namespace {

// The newest wl_seat version whose keyboard events are all handled below.
constexpr std::uint32_t kSeatVersion = 5;
// Roundtrips allowed for the seat, its keyboard and the keymap to arrive.
constexpr int kSetupRoundtrips = 4;

} // namespace

struct SeatKeymap::Private {
    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    wl_seat *seat = nullptr;
    std::uint32_t seatName = 0;
    std::uint32_t seatVersion = 0;
    wl_keyboard *keyboard = nullptr;
    xkb_context *context = nullptr;
    std::unordered_set<xkb_keysym_t> keysyms;
    // Each character that the keymap produces, with one keysym for it.
    std::unordered_map<char32_t, xkb_keysym_t> characters;
    bool haveKeymap = false;
    bool lost = false;
    std::unique_ptr<QSocketNotifier> notifier;

    ~Private()
    {
        notifier.reset();
        if (keyboard) {
            if (seatVersion >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
                wl_keyboard_release(keyboard);
            else
                wl_keyboard_destroy(keyboard);
        }
        if (seat)
            wl_seat_destroy(seat);
        if (registry)
            wl_registry_destroy(registry);
        if (display)
            wl_display_disconnect(display);
        if (context)
            xkb_context_unref(context);
    }

    void takeKeymap(std::uint32_t format, int fd, std::uint32_t size);
    void readEvents();
    void loseConnection();

    static const wl_registry_listener registryListener;
    static const wl_seat_listener seatListener;
    static const wl_keyboard_listener keyboardListener;
};

const wl_registry_listener SeatKeymap::Private::registryListener = {
    .global =
        [](void *data, wl_registry *registry, std::uint32_t name, const char *interface,
           std::uint32_t version) {
            auto *d = static_cast<Private *>(data);
            if (d->seat || std::strcmp(interface, wl_seat_interface.name) != 0)
                return;
            d->seatName = name;
            d->seatVersion = std::min(version, kSeatVersion);
            d->seat = static_cast<wl_seat *>(
                wl_registry_bind(registry, name, &wl_seat_interface, d->seatVersion));
            wl_seat_add_listener(d->seat, &seatListener, d);
        },
    .global_remove = [](void *, wl_registry *, std::uint32_t) {},
};

const wl_seat_listener SeatKeymap::Private::seatListener = {
    .capabilities =
        [](void *data, wl_seat *seat, std::uint32_t capabilities) {
            auto *d = static_cast<Private *>(data);
            if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !d->keyboard) {
                d->keyboard = wl_seat_get_keyboard(seat);
                wl_keyboard_add_listener(d->keyboard, &keyboardListener, d);
            }
        },
    .name = [](void *, wl_seat *, const char *) {},
};

const wl_keyboard_listener SeatKeymap::Private::keyboardListener = {
    .keymap =
        [](void *data, wl_keyboard *, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
            static_cast<Private *>(data)->takeKeymap(format, fd, size);
        },
    .enter = [](void *, wl_keyboard *, std::uint32_t, wl_surface *, wl_array *) {},
    .leave = [](void *, wl_keyboard *, std::uint32_t, wl_surface *) {},
    .key = [](void *, wl_keyboard *, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
    .modifiers = [](void *, wl_keyboard *, std::uint32_t, std::uint32_t, std::uint32_t,
                    std::uint32_t, std::uint32_t) {},
    .repeat_info = [](void *, wl_keyboard *, std::int32_t, std::int32_t) {},
};

void SeatKeymap::Private::takeKeymap(std::uint32_t format, int fd, std::uint32_t size)
{
    xkb_keymap *keymap = nullptr;
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void *text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
            // The text may or may not end with its terminating zero.
            const auto *chars = static_cast<const char *>(text);
            keymap = xkb_keymap_new_from_buffer(context, chars, strnlen(chars, size),
                                                XKB_KEYMAP_FORMAT_TEXT_V1,
                                                XKB_KEYMAP_COMPILE_NO_FLAGS);
            munmap(text, size);
        }
    }
    close(fd);
    if (!keymap)
        return; // keep the keymap we had

    keysyms.clear();
    characters.clear();
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= last; ++key) {
        const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, key);
        for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
            const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, key, layout);
            for (xkb_level_index_t level = 0; level < levels; ++level) {
                const xkb_keysym_t *syms = nullptr;
                const int count = xkb_keymap_key_get_syms_by_level(keymap, key, layout, level, &syms);
                for (int i = 0; i < count; ++i) {
                    keysyms.insert(syms[i]);
                    if (const char32_t c = xkb_keysym_to_utf32(syms[i]))
                        characters.try_emplace(c, syms[i]);
                }
            }
        }
    }
    xkb_keymap_unref(keymap);
    haveKeymap = true;
}

void SeatKeymap::Private::loseConnection()
{
    if (lost)
        return;
    lost = true;
    if (notifier)
        notifier->setEnabled(false);
}

void SeatKeymap::Private::readEvents()
{
    if (lost)
        return;
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0)
            return loseConnection();
    }
    if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0)
        return loseConnection();
    if (wl_display_flush(display) < 0 && errno != EAGAIN)
        loseConnection();
}

SeatKeymap::SeatKeymap(std::unique_ptr<Private> p) : d(std::move(p)) {}

SeatKeymap::~SeatKeymap() = default;

std::unique_ptr<SeatKeymap> SeatKeymap::connect(const QByteArray &displayName,
                                                QString *failureReason)
{
    const auto fail = [failureReason](const QString &reason) {
        if (failureReason)
            *failureReason = reason;
        return nullptr;
    };
    auto d = std::make_unique<Private>();
    d->display = wl_display_connect(displayName.isEmpty() ? nullptr : displayName.constData());
    if (!d->display)
        return fail(QStringLiteral("cannot connect to the Wayland compositor"));
    d->context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!d->context)
        return fail(QStringLiteral("cannot start the keymap compiler"));
    d->registry = wl_display_get_registry(d->display);
    wl_registry_add_listener(d->registry, &Private::registryListener, d.get());
    for (int i = 0; i < kSetupRoundtrips && !d->haveKeymap; ++i) {
        if (wl_display_roundtrip(d->display) < 0)
            return fail(QStringLiteral("the Wayland compositor closed the connection"));
    }
    if (!d->seat)
        return fail(QStringLiteral("the Wayland compositor offers no seat"));
    if (!d->keyboard)
        return fail(QStringLiteral("the Wayland compositor's seat has no keyboard"));
    if (!d->haveKeymap)
        return fail(QStringLiteral("the Wayland compositor sent no usable keymap"));

    Private *raw = d.get();
    d->notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(d->display),
                                                    QSocketNotifier::Read);
    QObject::connect(d->notifier.get(), &QSocketNotifier::activated, [raw] { raw->readEvents(); });
    wl_display_flush(d->display);
    return std::unique_ptr<SeatKeymap>(new SeatKeymap(std::move(d)));
}

bool SeatKeymap::produces(std::uint32_t keysym) const
{
    return d->keysyms.contains(keysym);
}

std::uint32_t SeatKeymap::keysymFor(char32_t character) const
{
    // The character's own keysym first: another that yields the same text
    // may be a keypad key, which Num Lock changes.
    const xkb_keysym_t own = xkb_utf32_to_keysym(character);
    if (own != XKB_KEY_NoSymbol && produces(own))
        return own;
    const auto found = d->characters.find(character);
    return found == d->characters.end() ? 0 : found->second;
}

} // namespace tavlun::link
