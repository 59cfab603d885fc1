// The virtual keyboard's keymap as a compositor compiles it.
#include "link/wayland/VirtualKeymap.h"

#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon.h>

#include <set>

using tavlun::link::VirtualKeymap;

namespace {

TEST(VirtualKeymap, FreeKeysTypeNothingTheKeyUsedLongestAgoIsTakenAndAFailedBindIsUndone)
{
    VirtualKeymap map;
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const auto typed = [&](std::uint32_t evdev) { // the keysym the key types, as a client reads the keymap
        xkb_keymap *keymap = xkb_keymap_new_from_string(context, map.text().c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                        XKB_KEYMAP_COMPILE_NO_FLAGS);
        xkb_state *state = keymap ? xkb_state_new(keymap) : nullptr;
        const xkb_keysym_t keysym = state ? xkb_state_key_get_one_sym(state, evdev + 8) : 0xBAD;
        xkb_state_unref(state);
        xkb_keymap_unref(keymap);
        return keysym;
    };
    EXPECT_EQ(typed(tavlun::link::kEscapeEvdev), XKB_KEY_Escape);
    EXPECT_EQ(typed(2), XKB_KEY_NoSymbol) << "a free key types something";
    std::set<std::uint32_t> keys;
    for (xkb_keysym_t keysym = 0x1000100; keysym < 0x1000100 + VirtualKeymap::kPoolSize; ++keysym)
        keys.insert(map.bind(keysym));
    EXPECT_EQ(keys.size(), VirtualKeymap::kPoolSize) << "two keysyms on one key";
    const std::uint32_t first = *map.keyFor(0x1000100), second = *map.keyFor(0x1000101); // used again, in this order
    const std::uint32_t taken = map.bind(XKB_KEY_a);
    EXPECT_EQ(taken, *map.keyFor(XKB_KEY_a));
    EXPECT_EQ(typed(taken), XKB_KEY_a);
    EXPECT_FALSE(taken == first || taken == second || map.keyFor(0x1000102)) << "not the key used longest ago";
    map.unbindLast();
    EXPECT_EQ(map.keyFor(XKB_KEY_a), std::nullopt);
    EXPECT_EQ(typed(taken), 0x1000102u) << "an undone bind did not give the key back its keysym";
    xkb_context_unref(context);
}

} // namespace
