#include "VirtualKeymap.h"

#include "keystrokes/Keysyms.h"
#include "keystrokes/Owned.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <utility>
#include <cstdlib>

namespace tavlun::keystrokes {

namespace {

// Evdev codes plus this are the keymap's keycodes.
constexpr std::uint32_t kXkbOffset = 8;
// The fixed keys, by evdev code, with the keysyms they type.
constexpr std::pair<std::uint32_t, std::uint32_t> kFixedKeys[] = {
    {1, kEscapeKeysym},
    {14, kBackSpaceKeysym},
    {28, kReturnKeysym},
};
// The keys of the pool: those that type text on an ordinary keyboard
// (digits, letters, punctuation; no modifier, no Tab or Space), then F13 and
// up (evdev 183 onwards), which no ordinary keyboard sends. All lie below
// X11's limit of keycode 255, for clients on XWayland. Enough for every
// character of the key table at once.
constexpr auto kPoolKeys = [] {
    std::array<std::uint32_t, VirtualKeymap::kPoolSize> keys{};
    std::size_t n = 0;
    for (const auto &[first, last] : {std::pair{2u, 13u}, std::pair{16u, 27u}, std::pair{30u, 41u},
                                     std::pair{43u, 53u}, std::pair{183u, 246u}}) {
        for (std::uint32_t key = first; key <= last; ++key)
            keys[n++] = key;
    }
    return keys;
}();
static_assert(kPoolKeys.back() == 246 && kPoolKeys.back() + kXkbOffset <= 255);

std::string keyName(std::uint32_t evdev)
{
    return "<K" + std::to_string(evdev + kXkbOffset) + ">";
}

std::string symbolName(std::uint32_t keysym)
{
    char name[64];
    if (xkb_keysym_get_name(keysym, name, sizeof name) <= 0)
        return {};
    return name;
}

} // namespace

VirtualKeymap::VirtualKeymap() : context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS))
{
    for (const std::uint32_t key : kPoolKeys)
        pool_.push_back({key});
}

std::optional<std::uint32_t> VirtualKeymap::keyFor(std::uint32_t keysym)
{
    for (const auto &[key, fixedKeysym] : kFixedKeys) {
        if (fixedKeysym == keysym)
            return key;
    }
    for (PoolKey &poolKey : pool_) {
        if (poolKey.keysym == keysym) {
            poolKey.lastUse = ++uses_;
            return poolKey.key;
        }
    }
    return std::nullopt;
}

std::uint32_t VirtualKeymap::bind(std::uint32_t keysym)
{
    // Free keys have lastUse 0 and come first.
    const auto poolKey = std::min_element(pool_.begin(), pool_.end(), [](const PoolKey &a, const PoolKey &b) {
        return a.lastUse < b.lastUse;
    });
    replaced_ = *poolKey;
    replacedIndex_ = std::size_t(poolKey - pool_.begin());
    poolKey->keysym = keysym;
    poolKey->lastUse = ++uses_;
    return poolKey->key;
}

void VirtualKeymap::unbindLast()
{
    if (replaced_)
        pool_[replacedIndex_] = *replaced_;
    replaced_.reset();
}

std::string VirtualKeymap::text() const
{
    if (!context_)
        return {};
    std::string keycodes = "  xkb_keycodes \"tavlun\" {\n    minimum = 8;\n    maximum = 255;\n";
    std::string symbols = "  xkb_symbols \"tavlun\" {\n    name[Group1] = \"" + std::string(kLayoutName) + "\";\n";
    const auto addKey = [&](std::uint32_t evdev, std::uint32_t keysym) {
        keycodes += "    " + keyName(evdev) + " = " + std::to_string(evdev + kXkbOffset) + ";\n";
        const std::string name = keysym ? symbolName(keysym) : std::string();
        if (!name.empty())
            symbols += "    key " + keyName(evdev) + " { [ " + name + " ] };\n";
    };
    for (const auto &[key, keysym] : kFixedKeys)
        addKey(key, keysym);
    for (const PoolKey &poolKey : pool_)
        addKey(poolKey.key, poolKey.keysym);
    const std::string source = "xkb_keymap {\n" + keycodes + "  };\n"
        + "  xkb_types \"tavlun\" { include \"complete\" };\n"
        + "  xkb_compat \"tavlun\" { include \"complete\" };\n" + symbols + "  };\n};\n";

    const Owned<xkb_keymap, xkb_keymap_unref> keymap(xkb_keymap_new_from_string(
        context_.get(), source.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return {};
    const Owned<char, std::free> compiled(xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1));
    return compiled ? std::string(compiled.get()) : std::string();
}

} // namespace tavlun::keystrokes
