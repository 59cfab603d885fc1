// Keystroke planning on a keyboard map built here, without an X server.
#include "keystrokes/x11/KeyPlanner.h"

#include <gtest/gtest.h>

using namespace tavlun::keystrokes;

namespace {

constexpr unsigned kShift = 1, kLock = 2, kControl = 4, kNumLock = 0x10;

// Three groups. Keys 1/!, 2/@, @ alone, 3 with # in a second group that a
// third group clamps to, 4 with 3 in a second group that redirects a third to
// a group it lacks (so to its first), a/A, s/S with ß in a second group, a
// Shift key and five keycodes without symbols: one with a group of none, one
// in the modifier map and one with an action.
KeyboardMap testMap()
{
    KeyboardMap m;
    m.groups = 3;
    m.types = {{0, {}}, {kShift, {{kShift, 1}}}, {kShift | kLock, {{kShift, 1}, {kLock, 1}}}};
    m.keys[10] = {.groups = {{1, {{'1'}, {'!'}}}}};
    m.keys[12] = {.groups = {{1, {{'2'}, {'@'}}}}};
    m.keys[13] = {.groups = {{0, {{'@'}}}}};
    m.keys[14] = {.groups = {{0, {{'3'}}}, {0, {{'#'}}}}, .range = KeyboardMap::GroupRange::Clamp};
    m.keys[15] = {.groups = {{0, {{'4'}}}, {0, {{'3'}}}}, .range = KeyboardMap::GroupRange::Redirect, .redirectGroup = 2};
    m.keys[38] = {.groups = {{2, {{'a'}, {'A'}}}}};
    m.keys[39] = {.groups = {{2, {{'s'}, {'S'}}}, {0, {{0xDF}}}}};
    m.keys[50] = {.groups = {{0, {{0xFFE1, true}}}}, .plain = false};
    m.keys[199] = {};
    m.keys[200] = {};
    m.keys[201] = {.groups = {{0, {{0}}}}};
    m.keys[202] = {.groups = {}, .plain = false};
    m.keys[203] = {.groups = {{0, {{0, true}}}}};
    return m;
}

TEST(KeyPlanner, PicksTheKeyLevelGroupAndLocksThatChangeLeast)
{
    struct Case { unsigned long symbol; KeyboardState state; std::optional<KeyPlan> expected; };
    const Case cases[] = {
        // Plain, Shift, Caps Lock, a latched Shift and a locked group are typed end to end: e2e_keystrokes.
        {'A', {.heldMods = kShift}, KeyPlan{38, 0, 0}},
        {'a', {.heldMods = kShift}, std::nullopt},
        {'a', {.lockedMods = kNumLock}, KeyPlan{38, kNumLock, 0}},
        {'!', {.lockedMods = kLock | kControl}, KeyPlan{10, kShift, 0}}, // locks that change the key go
        {'@', {}, KeyPlan{13, 0, 0}}, // rather a key of its own than a lock
        {0xDF, {}, KeyPlan{39, 0, 1}},
        {'@', {.lockedGroup = 1}, KeyPlan{13, 0, 1}}, // a key of one group comes out in it whatever the group
        {'s', {.lockedGroup = 1}, KeyPlan{39, 0, 0}},
        {'s', {.baseGroup = 1}, KeyPlan{39, 0, 2}},
        {'#', {.lockedGroup = 2}, KeyPlan{14, 0, 2}}, // group 3 of 3 clamped to the key's second
        {'4', {.lockedGroup = 2}, KeyPlan{15, 0, 2}}, // and redirected to its first
        {'3', {.lockedGroup = 1}, KeyPlan{15, 0, 1}}, // rather the group in force than a lock
        {0xFFE1, {}, std::nullopt}, // a key that acts is never typed
    };
    KeyPlanner planner;
    planner.setMap(testMap());
    for (const Case &c : cases) {
        const auto got = planner.plan(c.symbol, c.state);
        EXPECT_EQ(got, c.expected) << "keysym 0x" << std::hex << c.symbol << " held " << c.state.heldMods << " locked "
                                   << c.state.lockedMods << " group " << c.state.baseGroup << "+" << c.state.lockedGroup
                                   << ": got keycode " << std::dec << (got ? got->keycode : -1);
    }
}

TEST(KeyPlanner, SpareKeycodesAreBoundHighestFirstThenReusedLeastRecentlyUsed)
{
    KeyboardMap map = testMap();
    KeyPlanner planner;
    planner.setMap(map);
    const auto bind = [&](unsigned long symbol) {
        const int keycode = planner.keycodeToBind().value_or(-1);
        map.keys[keycode].groups = {{0, {{symbol}}}};
        planner.recordBinding(keycode, symbol);
        planner.setMap(map);
        return keycode;
    };
    planner.recordFailedBinding(201);
    EXPECT_EQ(planner.keycodeToBind(), 200) << "a keycode that failed to bind was offered again";
    planner.setMap(map);
    EXPECT_EQ(bind('z'), 201) << "a new map does not offer the keycode that failed again";
    EXPECT_EQ(bind('q'), 200) << "202 sets a modifier, 203 acts: neither is spare";
    planner.recordPress(201);
    for (int i = 2; i < KeyPlanner::kSparePoolSize; ++i)
        planner.recordBinding(300 + i, 'x'); // the pool fills up
    EXPECT_EQ(planner.keycodeToBind(), 200) << "the binding used longest ago goes first, though 199 is free";
    map.keys[201].groups = {{0, {{'y'}}}}; // someone else took the key
    planner.setMap(map);
    planner.recordFailedBinding(200);
    EXPECT_EQ(planner.bindings().size(), 1u) << "bindings the map no longer shows are dropped; a failed bind keeps one";
}

} // namespace
