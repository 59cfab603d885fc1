#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tavlun::keystrokes {

// A keyboard map as XKB describes it, reduced to what planning a key press
// needs. Levels, groups and modifier masks are XKB's; symbols are keysyms.
struct KeyboardMap {
    struct Level {
        unsigned long symbol{}; // NoSymbol is 0
        bool acts = false;        // the level sets modifiers or switches groups
    };
    struct Group {
        int type{}; // index into types; type 0 is XKB's ONE_LEVEL
        std::vector<Level> levels;
    };
    // What a key does with an effective group beyond its own groups.
    enum class GroupRange { Wrap, Clamp, Redirect };
    struct Key {
        std::vector<Group> groups;
        GroupRange range = GroupRange::Wrap;
        int redirectGroup{};
        bool plain = true; // in no modifier map, ordinary behaviour
    };
    struct Type {
        unsigned mods{}; // the modifiers that select a level
        std::vector<std::pair<unsigned, int>> levels; // active entries: modifiers -> level
    };

    std::vector<Type> types;
    std::map<int, Key> keys; // every keycode of the keyboard, by keycode
    int groups = 1;          // groups of the keyboard
};

// The modifiers and groups in force, as XKB reports them.
struct KeyboardState {
    unsigned heldMods{};
    unsigned lockedMods{};
    unsigned latchedMods{};
    int baseGroup{};
    int lockedGroup{};
    int latchedGroup{};
};

// One key press: the key, and the locked modifiers and group that are in
// force while it goes down and up.
struct KeyPlan {
    int keycode{};
    unsigned lockedMods{};
    int lockedGroup{};

    bool operator==(const KeyPlan &) const = default;
};

// Finds the key, level, group and modifiers that type a keysym on a
// keyboard map, and the spare keycode (one without symbols) that takes a
// keysym no key makes. Spare bindings stay in a small pool, reused until
// the keycode is needed for another keysym.
class KeyPlanner {
public:
    // How many spare keycodes at most hold bindings at the same time.
    static constexpr int kSparePoolSize = 12;

    struct Binding {
        int keycode;
        unsigned long symbol;
        std::uint64_t lastUse;
    };

    // Takes a new map: bindings that it no longer shows are dropped.
    void setMap(KeyboardMap map);

    // How to type `symbol` given the user's state: held modifiers stay, so
    // a level they rule out is not a choice; locked and latched state may
    // be set for the length of the key. The plan that changes least wins.
    std::optional<KeyPlan> plan(unsigned long symbol, const KeyboardState &state) const;

    // The keycode to bind a keysym that no key makes to: a free spare one
    // while the pool has room (the highest first), otherwise the binding
    // used longest ago.
    std::optional<int> keycodeToBind() const;
    // `keycode` now holds `symbol`.
    void recordBinding(int keycode, unsigned long symbol);
    // Binding `keycode` failed: it is not offered again until the next map.
    void recordFailedBinding(int keycode);
    // A planned key was pressed.
    void recordPress(int keycode);

    const std::vector<Binding> &bindings() const { return bindings_; }

private:
    struct Position {
        int keycode;
        int group;
        int level;
    };
    bool isBinding(int keycode) const;

    KeyboardMap map_;
    std::unordered_map<unsigned long, std::vector<Position>> positions_;
    std::vector<int> spare_; // free spare keycodes, ascending
    std::vector<Binding> bindings_;
    std::uint64_t uses_ = 0;
};

} // namespace tavlun::keystrokes
