#pragma once

#include "core/Key.h"

#include <cstdint>

namespace tavlun::keystrokes {

// The X keysyms (as X11, XKB and Wayland keymaps name them) of the keys
// that type no character.
inline constexpr std::uint32_t kBackSpaceKeysym = 0xFF08;
inline constexpr std::uint32_t kReturnKeysym = 0xFF0D;
inline constexpr std::uint32_t kEscapeKeysym = 0xFF1B;

// The keysym that types a key: the special keys' own; a Latin-1 character's
// code point (Latin-1 keysyms equal their code points); any other character's
// Unicode keysym. 0 for a control character or a surrogate, which no key
// types.
constexpr std::uint32_t keysymFor(core::Key key)
{
    switch (key.kind()) {
    case core::Key::Kind::Backspace:
        return kBackSpaceKeysym;
    case core::Key::Kind::Enter:
        return kReturnKeysym;
    case core::Key::Kind::Escape:
        return kEscapeKeysym;
    case core::Key::Kind::Character:
        break;
    }
    const char32_t c = key.character();
    if (core::isControlCharacter(c) || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        return 0;
    return c <= 0xFF ? c : 0x01000000 | c;
}

} // namespace tavlun::keystrokes
