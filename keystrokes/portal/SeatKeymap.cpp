#include "SeatKeymap.h"

#include "keystrokes/FailureReason.h"
#include "keystrokes/Owned.h"
#include "keystrokes/wayland/WaylandConnection.h"

#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <unordered_map>

namespace tavlun::keystrokes {

namespace {

// The seat's version that brought the newest keyboard event handled below.
constexpr std::uint32_t kSeatVersion = WL_KEYBOARD_REPEAT_INFO_SINCE_VERSION;
// Roundtrips allowed, after the one that binds the seat, for its keyboard
// and the keymap to arrive (each takes one).
constexpr int kSetupRoundtrips = 3;

// Where a keysym is on the keyboard.
struct Position {
    xkb_keycode_t key;
    xkb_layout_index_t layout;
    xkb_level_index_t level;
};

// The characters and keysyms of some of a keymap's layouts, one keysym for
// each character, and where each keysym is at its lowest level.
struct Characters {
    std::unordered_map<xkb_keysym_t, Position> keysyms;
    std::unordered_map<char32_t, xkb_keysym_t> characters;

    void add(xkb_keymap *keymap, xkb_keycode_t key, xkb_layout_index_t layout)
    {
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, key, layout);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t *syms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap, key, layout, level, &syms);
            for (int i = 0; i < count; ++i) {
                const auto [at, added] = keysyms.try_emplace(syms[i], Position{key, layout, level});
                if (!added && level < at->second.level)
                    at->second = {key, layout, level};
                if (const char32_t c = xkb_keysym_to_utf32(syms[i]))
                    characters.try_emplace(c, syms[i]);
            }
        }
    }

    // The keysym for a character: its own first, as another that yields the
    // same text may be a keypad key, which Num Lock changes.
    xkb_keysym_t find(char32_t character) const
    {
        const xkb_keysym_t own = xkb_utf32_to_keysym(character);
        if (own != XKB_KEY_NoSymbol && keysyms.contains(own))
            return own;
        const auto found = characters.find(character);
        return found == characters.end() ? XKB_KEY_NoSymbol : found->second;
    }
};

// Keymaps number their keys as the X server does: the evdev code plus 8.
constexpr xkb_keycode_t kEvdevOffset = 8;

} // namespace

// Members go in the reverse order of their teardown: the keyboard, the
// connection (which ends everything the compositor holds for us, so the
// keyboard needs no release request), then the keymap.
struct SeatKeymap::Private {
    Owned<xkb_context, xkb_context_unref> context;
    Owned<xkb_keymap, xkb_keymap_unref> keymap;
    Owned<xkb_state, xkb_state_unref> state;
    std::unique_ptr<WaylandConnection> connection;
    Owned<wl_keyboard, wl_keyboard_destroy> keyboard;
    std::uint32_t group = 0; // as the latest modifiers event gave it
    bool groupKnown = false; // a modifiers event has come
    Characters inUse;        // of the layout in use
    Characters everyLayout;
    // In the layout in use: for a modifier, the first key that holds it
    // alone while down (Shift_L for Shift, ISO_Level3_Shift for AltGr's).
    std::unordered_map<xkb_mod_mask_t, xkb_keycode_t> modifierKeys;

    void useKeymap(std::uint32_t format, int fd, std::uint32_t size);
    void useGroup(std::uint32_t newGroup);

    static const wl_seat_listener seatListener;
    static const wl_keyboard_listener keyboardListener;
};

const wl_seat_listener SeatKeymap::Private::seatListener = {
    .capabilities =
        [](void *data, wl_seat *seat, std::uint32_t capabilities) {
            auto *d = static_cast<Private *>(data);
            if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !d->keyboard) {
                d->keyboard.reset(wl_seat_get_keyboard(seat));
                wl_keyboard_add_listener(d->keyboard.get(), &keyboardListener, d);
            }
        },
    .name = [](void *, wl_seat *, const char *) {},
};

const wl_keyboard_listener SeatKeymap::Private::keyboardListener = {
    .keymap =
        [](void *data, wl_keyboard *, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
            static_cast<Private *>(data)->useKeymap(format, fd, size);
        },
    .enter = [](void *, wl_keyboard *, std::uint32_t, wl_surface *, wl_array *) {},
    .leave = [](void *, wl_keyboard *, std::uint32_t, wl_surface *) {},
    .key = [](void *, wl_keyboard *, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
    .modifiers = [](void *data, wl_keyboard *, std::uint32_t, std::uint32_t, std::uint32_t,
                    std::uint32_t, std::uint32_t group) {
        auto *d = static_cast<Private *>(data);
        d->groupKnown = true;
        if (group != d->group)
            d->useGroup(group);
    },
    .repeat_info = [](void *, wl_keyboard *, std::int32_t, std::int32_t) {},
};

void SeatKeymap::Private::useKeymap(std::uint32_t format, int fd, std::uint32_t size)
{
    Owned<xkb_keymap, xkb_keymap_unref> compiled;
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void *text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
            // The text may or may not end with its terminating zero.
            const auto *chars = static_cast<const char *>(text);
            compiled.reset(xkb_keymap_new_from_buffer(context.get(), chars, strnlen(chars, size),
                                                      XKB_KEYMAP_FORMAT_TEXT_V1,
                                                      XKB_KEYMAP_COMPILE_NO_FLAGS));
            munmap(text, size);
        }
    }
    close(fd);
    Owned<xkb_state, xkb_state_unref> fresh(compiled ? xkb_state_new(compiled.get()) : nullptr);
    if (!fresh)
        return; // keep the keymap we had
    keymap = std::move(compiled);
    state = std::move(fresh);
    Characters everything;
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap.get());
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap.get()); key <= last; ++key) {
        const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap.get(), key);
        for (xkb_layout_index_t layout = 0; layout < layouts; ++layout)
            everything.add(keymap.get(), key, layout);
    }
    everyLayout = std::move(everything);
    useGroup(group);
}

// Modifiers events name the layout in use. mutter 43 sends them only to the
// client that has the keyboard focus, which this connection (no surface)
// never has: there the first layout counts as in use, as it is when a
// session starts, and a switch to another layout goes unseen.
void SeatKeymap::Private::useGroup(std::uint32_t newGroup)
{
    group = newGroup;
    if (!state)
        return;
    xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, group);
    // A key with fewer layouts than the keymap has its own idea of which
    // one is in use (it wraps around), which the state knows.
    Characters characters;
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap.get());
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap.get()); key <= last; ++key) {
        const xkb_layout_index_t layout = xkb_state_key_get_layout(state.get(), key);
        if (layout != XKB_LAYOUT_INVALID)
            characters.add(keymap.get(), key, layout);
    }
    inUse = std::move(characters);

    modifierKeys.clear();
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap.get()); key <= last; ++key) {
        const Owned<xkb_state, xkb_state_unref> pressed(xkb_state_new(keymap.get()));
        xkb_state_update_mask(pressed.get(), 0, 0, 0, 0, 0, group);
        const xkb_layout_index_t layout = xkb_state_serialize_layout(pressed.get(), XKB_STATE_LAYOUT_EFFECTIVE);
        xkb_state_update_key(pressed.get(), key, XKB_KEY_DOWN);
        // Not a lock, a latch or a layout switch, which outlast the key.
        const xkb_mod_mask_t held = xkb_state_serialize_mods(pressed.get(), XKB_STATE_MODS_DEPRESSED);
        if (std::has_single_bit(held)
            && xkb_state_serialize_mods(pressed.get(), xkb_state_component(XKB_STATE_MODS_LATCHED | XKB_STATE_MODS_LOCKED)) == 0
            && xkb_state_serialize_layout(pressed.get(), XKB_STATE_LAYOUT_EFFECTIVE) == layout)
            modifierKeys.try_emplace(held, key);
    }
}

SeatKeymap::SeatKeymap(std::unique_ptr<Private> p) : d(std::move(p)) {}

SeatKeymap::~SeatKeymap() = default;

std::unique_ptr<SeatKeymap> SeatKeymap::connect(const QByteArray &displayName,
                                                QString *failureReason)
{
    auto d = std::make_unique<Private>();
    d->context.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!d->context)
        return failWith(failureReason, QStringLiteral("cannot start the keymap compiler"));
    d->connection = WaylandConnection::open(displayName,
                                            {.seatVersion = kSeatVersion,
                                             .seatListener = &Private::seatListener,
                                             .seatListenerData = d.get(),
                                             .others = {}},
                                            failureReason);
    if (!d->connection)
        return nullptr;
    for (int i = 0; i < kSetupRoundtrips && !d->keymap; ++i) {
        if (!d->connection->roundtrip())
            return failWith(failureReason, d->connection->problem());
    }
    if (!d->connection->seat())
        return failWith(failureReason, QStringLiteral("the Wayland compositor offers no seat"));
    if (!d->keyboard)
        return failWith(failureReason, QStringLiteral("the Wayland compositor's seat has no keyboard"));
    if (!d->keymap)
        return failWith(failureReason, QStringLiteral("the Wayland compositor sent no usable keymap"));
    d->connection->startPump();
    return std::unique_ptr<SeatKeymap>(new SeatKeymap(std::move(d)));
}

std::uint32_t SeatKeymap::keysymFor(char32_t character) const
{
    return d->inUse.find(character);
}

bool SeatKeymap::otherLayoutHas(char32_t character) const
{
    return d->everyLayout.find(character) != XKB_KEY_NoSymbol;
}

std::optional<SeatKeymap::KeyStroke> SeatKeymap::strokeFor(std::uint32_t keysym) const
{
    const auto found = d->inUse.keysyms.find(keysym);
    if (found == d->inUse.keysyms.end())
        return std::nullopt;
    const Position &at = found->second;
    // Each set of modifiers that selects the level, the fewest first.
    xkb_mod_mask_t masks[16];
    const std::size_t count = xkb_keymap_key_get_mods_for_level(d->keymap.get(), at.key, at.layout, at.level,
                                                                masks, std::size(masks));
    std::sort(masks, masks + count, [](xkb_mod_mask_t a, xkb_mod_mask_t b) {
        return std::popcount(a) < std::popcount(b);
    });
    for (std::size_t i = 0; i < count; ++i) {
        KeyStroke stroke{at.key - kEvdevOffset, {}};
        for (xkb_mod_mask_t rest = masks[i]; rest != 0; rest &= rest - 1) {
            const auto modifier = d->modifierKeys.find(rest & ~(rest - 1));
            if (modifier == d->modifierKeys.end())
                break;
            stroke.modifiers.push_back(modifier->second - kEvdevOffset);
        }
        if (stroke.modifiers.size() == std::size_t(std::popcount(masks[i])))
            return stroke;
    }
    return std::nullopt;
}

void SeatKeymap::useLayout(std::uint32_t index)
{
    d->groupKnown = true;
    if (index != d->group)
        d->useGroup(index);
}

QString SeatKeymap::unconfirmedLayout() const
{
    if (d->groupKnown || !d->keymap || xkb_keymap_num_layouts(d->keymap.get()) < 2)
        return QString();
    const char *name = xkb_keymap_layout_get_name(d->keymap.get(), d->group);
    return QString::fromUtf8(name ? name : "?");
}

} // namespace tavlun::keystrokes
