#include "KeySequenceDecoder.h"

#include "KeyTable.h"
#include "Utf8.h"

#include <algorithm>

namespace tavlun::core {

namespace {

// Positions below are those of the command line counted from 0:
// 0-7 "AT+CKPD=", 8 the opening quote, 9 onward the key sequence.
constexpr std::size_t kKeyCharIndex = 9;

int keyColumn(char first)
{
    if (first == '#')
        return 10;
    if (first >= '1' && first <= '9')
        return first - '0';
    return 0; // "0", "*", letters and anything else fall into key 0
}

} // namespace

DecodedKey decodeKeySequence(std::string_view line)
{
    DecodedKey out;
    const std::size_t length = line.size();

    const std::string_view keyChar = line.substr(std::min(kKeyCharIndex, length), 1); // empty past the end
    if (keyChar == "c") {
        out.clear = true;
        return out;
    }
    if (keyChar == "s") {
        out.token = kSendMarker;
        return out;
    }
    if (keyChar == "e") {
        out.token = kEndMarker;
        return out;
    }
    if (keyChar == ">" || keyChar == "<") {
        out.token = keyChar;
        return out;
    }

    // Long press: the press-time parameter 20 stands just before the last
    // character (the carriage return).
    if (length >= 3 && line.substr(length - 3, 2) == "20") {
        out.token = latin1ToUtf8(keyChar);
        return out;
    }

    // Key sequence: from the key character to just before the closing quote.
    std::string_view sequence = length > 11 ? line.substr(kKeyCharIndex, length - 11) : std::string_view();
    // A press followed by the clear key: both are dropped.
    if (sequence.size() >= 2 && sequence[1] == 'c')
        sequence.remove_prefix(2);

    const int column = sequence.empty() ? 0 : keyColumn(sequence.front());
    const std::size_t presses = sequence.size();
    if (presses >= kPressCounts)
        return out; // 21 presses or more: nothing
    appendUtf8(out.token, kKeyTable[column][presses]);
    return out;
}

} // namespace tavlun::core
