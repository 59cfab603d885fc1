// The accessory's encoder against the program's decoder: every character
// it types comes back as itself (or its other case), and every character of
// the key table can be typed.
#include "tools/accessory/KeyEncoder.h"

#include "link/KeyDecoder.h"
#include "link/KeyTable.h"

#include <gtest/gtest.h>

using tavlun::accessory::KeyEncoder;
using tavlun::accessory::SpecialKey;
using tavlun::link::KeyOutput;
using tavlun::link::TusCoz;

namespace {

KeyOutput decode(std::string_view command)
{
    return TusCoz(QString::fromLatin1(command.data(), qsizetype(command.size())) + u'\r');
}

// Latin-1 letters that differ only in case.
bool otherCase(char32_t a, char32_t b)
{
    const auto letter = [](char32_t c) {
        return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z')
            || (c >= 0xC0 && c <= 0xFE && c != 0xD7 && c != 0xF7 && c != 0xDF);
    };
    return letter(a) && letter(b) && (a ^ b) == 0x20;
}

TEST(Encoder, EveryEncodedCharacterDecodesToItselfAndTheTableIsCovered)
{
    const KeyEncoder encoder;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        const auto command = encoder.encode(c);
        if (!command)
            continue;
        const KeyOutput out = decode(*command);
        ASSERT_TRUE(!out.clear && out.token.size() == 1) << "U+" << std::hex << unsigned(c);
        const char32_t back = out.token.front().unicode();
        EXPECT_TRUE(back == c || otherCase(back, c))
            << "U+" << std::hex << unsigned(c) << " as " << *command << " gives U+" << unsigned(back);
    }
    for (const auto &column : tavlun::link::TusTablosu)
        for (const char16_t c : column)
            EXPECT_TRUE(c == 0 || encoder.encode(c)) << "U+" << std::hex << unsigned(c) << " is not typed";
    EXPECT_EQ(decode(KeyEncoder::encode(SpecialKey::Clear)), (KeyOutput{QString(), true}));
    EXPECT_EQ(decode(KeyEncoder::encode(SpecialKey::Send)), (KeyOutput{QStringLiteral(" {Yes} "), false}));
    EXPECT_EQ(decode(KeyEncoder::encode(SpecialKey::End)), (KeyOutput{QStringLiteral(" {No} "), false}));
}

} // namespace
