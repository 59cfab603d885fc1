#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tavlun::accessory {

// The keys of the accessory that type no character.
enum class SpecialKey { Clear, Send, End };

// Turns characters into the keypad commands that the accessory sends for
// them, AT+CKPD="<keys>" with or without the long-press suffix ",20". The
// lines come without the carriage return that ends them, so that a caller
// can write it on its own.
//
// A character takes the multi-tap sequence with the fewest presses that the
// key table holds for it (on a tie, the lower key). Digits, "#" and "*" take
// a long press of their own key instead. "<" and ">" are the arrow keys. The
// keys have no case: a letter that the table holds in the other case only
// (a for A, Â for â) takes the sequence of that letter.
class KeyEncoder {
public:
    KeyEncoder();

    // The command line for one character (a Unicode code point); nothing
    // when no key of the accessory produces it.
    std::optional<std::string_view> encode(char32_t character) const;
    static std::string_view encode(SpecialKey key);

private:
    // By Latin-1 code; empty where no key gives the character. Every
    // character of the key table lies below 0x100.
    std::array<std::string, 0x100> commands_;
};

} // namespace tavlun::accessory
