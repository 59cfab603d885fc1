#pragma once

#include "keystrokes/Owned.h"

#include <xkbcommon/xkbcommon.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavlun::keystrokes {

// The keymap of the program's own virtual keyboard: fixed keys for Escape,
// BackSpace and Return, and a pool of one-level keys that each hold one
// character's keysym. A keysym that no key holds takes a free key, or the
// key used longest ago; the keymap then has to be sent again, which costs
// every client a recompile, so keys stay bound for as long as they can.
class VirtualKeymap {
public:
    // Keys in the pool.
    static constexpr std::size_t kPoolSize = 111;
    // The name of the keymap's one layout, by which the compositor's
    // reports tell this keymap from others.
    static constexpr const char *kLayoutName = "Tavlun";

    VirtualKeymap();

    // The key (an evdev code) that types the keysym, or nothing when no key
    // holds it yet. Counts as a use of a key of the pool.
    std::optional<std::uint32_t> keyFor(std::uint32_t keysym);
    // Puts the keysym on a key of the pool and returns that key; text()
    // changes.
    std::uint32_t bind(std::uint32_t keysym);
    // Undoes the latest bind(), when its keymap could not be sent.
    void unbindLast();

    // The keymap in XKB text form as xkbcommon compiles it (the "complete"
    // types and compatibility), or empty when it does not compile.
    std::string text() const;

private:
    struct PoolKey {
        std::uint32_t key;
        std::uint32_t keysym{}; // 0: free
        std::uint64_t lastUse = 0;
    };
    Owned<xkb_context, xkb_context_unref> context_;
    std::vector<PoolKey> pool_;
    std::uint64_t uses_ = 0;
    std::optional<PoolKey> replaced_;
    std::size_t replacedIndex_{};
};

} // namespace tavlun::keystrokes
