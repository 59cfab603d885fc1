#include "KeyEncoder.h"

#include "core/KeyTable.h"

namespace tavlun::accessory {

namespace {

std::string pressCommand(char key, int presses)
{
    return "AT+CKPD=\"" + std::string(static_cast<std::size_t>(presses), key) + '"';
}

std::string longPressCommand(char key)
{
    return "AT+CKPD=\"" + std::string(1, key) + "\",20";
}

// The same letter in the other case, within Latin-1; 0 for anything else.
char32_t otherCase(char32_t c)
{
    if (c >= U'A' && c <= U'Z')
        return c + 0x20;
    if (c >= U'a' && c <= U'z')
        return c - 0x20;
    // À-Þ and à-þ, apart from × and ÷ which share their positions.
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 0x20;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return c - 0x20;
    return 0;
}

} // namespace

KeyEncoder::KeyEncoder()
{
    std::array<int, 0x100> fewest{};
    for (int column = 0; column <= 10; ++column) {
        const char key = column == 10 ? '#' : static_cast<char>('0' + column);
        for (int presses = 1; presses < core::kPressCounts; ++presses) {
            const char32_t character = core::kKeyTable[column][presses];
            if (character == 0 || character >= commands_.size())
                continue;
            // Columns and counts rise, so the first hit of a fewest count
            // is on the lowest key.
            if (fewest[character] == 0 || presses < fewest[character]) {
                fewest[character] = presses;
                commands_[character] = pressCommand(key, presses);
            }
        }
    }
    for (char digit = '0'; digit <= '9'; ++digit)
        commands_[static_cast<unsigned char>(digit)] = longPressCommand(digit);
    commands_['#'] = longPressCommand('#');
    commands_['*'] = longPressCommand('*');
    commands_['<'] = "AT+CKPD=\"<\"";
    commands_['>'] = "AT+CKPD=\">\"";

    for (char32_t c = 0; c < commands_.size(); ++c) {
        const char32_t other = otherCase(c);
        if (commands_[c].empty() && other != 0)
            commands_[c] = commands_[other];
    }
}

std::optional<std::string_view> KeyEncoder::encode(char32_t character) const
{
    if (character >= commands_.size() || commands_[character].empty())
        return std::nullopt;
    return commands_[character];
}

std::string_view KeyEncoder::encode(SpecialKey key)
{
    switch (key) {
    case SpecialKey::Clear:
        return "AT+CKPD=\"c\"";
    case SpecialKey::Send:
        return "AT+CKPD=\"s\"";
    case SpecialKey::End:
        return "AT+CKPD=\"e\"";
    }
    return {};
}

} // namespace tavlun::accessory
