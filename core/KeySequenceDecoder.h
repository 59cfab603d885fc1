#pragma once

#include <string>
#include <string_view>

namespace tavlun::core {

// What one keypad command asks for: a text to deliver (UTF-8) and/or one
// Backspace.
struct DecodedKey {
    std::string token; // empty, one character, ">", "<", kSendMarker or kEndMarker
    bool clear = false; // the clear key: one Backspace

    bool operator==(const DecodedKey &) const = default;
};

// The texts that the send and end keys put into the text box.
inline constexpr std::string_view kSendMarker = " {Yes} ";
inline constexpr std::string_view kEndMarker = " {No} ";

// Decodes a completed keypad command line, AT+CKPD="<keys>"[,20] followed
// by its carriage return (bytes, each a Latin-1 character), through the key
// table. It works by positions alone: every input gives a result.
DecodedKey decodeKeySequence(std::string_view line);

} // namespace tavlun::core
