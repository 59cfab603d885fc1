#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavlun::core {

// Appends the UTF-8 form of a Unicode code point.
void appendUtf8(std::string &text, char32_t c);

// Bytes read as Latin-1 characters (each byte the code point of the same
// number), in UTF-8.
std::string latin1ToUtf8(std::string_view bytes);

// The one code point that a UTF-8 text holds; nothing when it holds none,
// several, or is not UTF-8.
std::optional<char32_t> soleCharacter(std::string_view text);

} // namespace tavlun::core
