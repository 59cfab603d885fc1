#pragma once

#include "KeyEncoder.h"

#include <string>
#include <string_view>
#include <vector>

namespace tavlun::accessory {

// One keypad command to send, and what in the input asked for it.
struct Keystroke {
    std::string command; // without its carriage return
    std::string source;  // the character (UTF-8) or the key word, e.g. {SEND}
    int position = 0;    // in the input line, counted in characters from 1
};

// Something in the input that no key produces; it is not sent.
struct SkippedInput {
    std::string source; // the character (UTF-8), the key word, or the byte
    int position = 0;
    std::string reason;
};

struct TypedLine {
    std::vector<Keystroke> keys;
    std::vector<SkippedInput> skipped;
};

// Turns one line of UTF-8 text into keypad commands. Key words in braces
// press the keys that type no character: {CLEAR}, {SEND}, {END}, and
// {LEFT} and {RIGHT} for the arrow keys (the same as "<" and ">"); the
// words are case-insensitive.
TypedLine typeLine(std::string_view utf8, const KeyEncoder &encoder);

// The command of a key word ("CLEAR", "send", ...); empty when there is no
// such key.
std::string_view keyWordCommand(std::string_view word, const KeyEncoder &encoder);

} // namespace tavlun::accessory
