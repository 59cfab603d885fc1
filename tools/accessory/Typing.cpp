#include "Typing.h"

#include "core/Key.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>

namespace tavlun::accessory {

namespace {

struct Decoded {
    char32_t codePoint = 0;
    std::size_t length = 0; // bytes taken; 0 when the bytes are not UTF-8
};

// Decodes the UTF-8 sequence at the start of text. Overlong forms,
// surrogates and values above U+10FFFF are not UTF-8.
Decoded decodeUtf8(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return {lead, 1};
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return {};
    }
    if (text.size() < length)
        return {};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return {};
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return {};
    return {value, length};
}

std::string hex(unsigned value, int digits)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
    return buffer;
}

// "{WORD}" at the start of text: the length of the whole, or 0.
std::size_t keyWordLength(std::string_view text)
{
    if (text.empty() || text.front() != '{')
        return 0;
    std::size_t end = 1;
    while (end < text.size() && std::isalpha(static_cast<unsigned char>(text[end])))
        ++end;
    if (end == 1 || end >= text.size() || text[end] != '}')
        return 0;
    return end + 1;
}

// The character as written, and its code point; control characters by
// their code point alone.
std::string describe(char32_t codePoint, const std::string &utf8)
{
    const std::string code = "U+" + hex(codePoint, 4);
    return core::isControlCharacter(codePoint) ? code : "\"" + utf8 + "\" (" + code + ")";
}

} // namespace

std::string_view keyWordCommand(std::string_view word, const KeyEncoder &encoder)
{
    std::string upper(word);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper == "CLEAR")
        return KeyEncoder::encode(SpecialKey::Clear);
    if (upper == "SEND")
        return KeyEncoder::encode(SpecialKey::Send);
    if (upper == "END")
        return KeyEncoder::encode(SpecialKey::End);
    if (upper == "LEFT")
        return *encoder.encode(U'<');
    if (upper == "RIGHT")
        return *encoder.encode(U'>');
    return {};
}

TypedLine typeLine(std::string_view utf8, const KeyEncoder &encoder)
{
    TypedLine line;
    int position = 0;
    std::size_t at = 0;
    while (at < utf8.size()) {
        ++position;
        const std::string_view rest = utf8.substr(at);

        if (const std::size_t wordLength = keyWordLength(rest)) {
            const std::string_view word = rest.substr(0, wordLength);
            const std::string_view command =
                keyWordCommand(word.substr(1, wordLength - 2), encoder);
            if (command.empty())
                line.skipped.push_back({std::string(word), position, "is not a key"});
            else
                line.keys.push_back({std::string(command), std::string(word), position});
            at += wordLength;
            continue;
        }

        const Decoded decoded = decodeUtf8(rest);
        if (decoded.length == 0) {
            line.skipped.push_back({"byte 0x" + hex(static_cast<unsigned char>(rest.front()), 2),
                                    position, "is not UTF-8"});
            ++at;
            continue;
        }
        const std::string source(rest.substr(0, decoded.length));
        at += decoded.length;
        if (const std::optional<std::string_view> command = encoder.encode(decoded.codePoint))
            line.keys.push_back({std::string(*command), source, position});
        else
            line.skipped.push_back({describe(decoded.codePoint, source), position, "is on no key"});
    }
    return line;
}

} // namespace tavlun::accessory
