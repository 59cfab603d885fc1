#include "tools/accessory/KeyEncoder.h"
#include "tools/accessory/Typing.h"

#include "link/KeyDecoder.h"
#include "link/KeyTable.h"

#include <QString>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using tavlun::accessory::KeyEncoder;
using tavlun::accessory::SpecialKey;
using tavlun::accessory::typeLine;
using tavlun::link::KeyOutput;
using tavlun::link::TusTablosu;
using tavlun::link::TusCoz;

namespace {

std::string codePoint(char32_t c)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
    return buffer;
}

class Encoder : public ::testing::Test {
protected:
    // What the program makes of the command line once its carriage return
    // has arrived.
    KeyOutput decode(std::string_view command) const
    {
        return TusCoz(QString::fromLatin1(command.data(), static_cast<qsizetype>(command.size()))
                      + u'\r');
    }

    KeyEncoder encoder;
};

// Latin-1 letters that differ only in case.
bool sameLetterOtherCase(char32_t a, char32_t b)
{
    const auto isLetter = [](char32_t c) {
        return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z')
            || (c >= 0xC0 && c <= 0xFE && c != 0xD7 && c != 0xF7 && c != 0xDF);
    };
    return isLetter(a) && isLetter(b) && (a ^ b) == 0x20;
}

TEST_F(Encoder, EveryAcceptedCharacterDecodesBackToItselfOrItsOtherCase)
{
    int accepted = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        const auto command = encoder.encode(c);
        if (!command)
            continue;
        ++accepted;
        const KeyOutput out = decode(*command);
        ASSERT_FALSE(out.clear) << codePoint(c) << " as " << *command << " is the clear key";
        ASSERT_EQ(out.token.size(), 1) << codePoint(c) << " as " << *command << " gave \""
                                       << out.token.toStdString() << '"';
        const char32_t back = out.token.front().unicode();
        EXPECT_TRUE(back == c || sameLetterOtherCase(back, c))
            << codePoint(c) << " as " << *command << " decodes to " << codePoint(back);
    }
    // Every character of the table can be typed.
    for (int column = 0; column < tavlun::link::kKeyColumns; ++column) {
        for (int presses = 1; presses < tavlun::link::kPressCounts; ++presses) {
            const char16_t c = TusTablosu[column][presses];
            EXPECT_TRUE(c == 0 || encoder.encode(c))
                << codePoint(c) << " of key " << column << " x" << presses << " is not encoded";
        }
    }
    ASSERT_GT(accepted, 0);
}

TEST_F(Encoder, KeysWithoutCharacterGiveTheClearFlagAndTheMarkers)
{
    EXPECT_EQ(decode(KeyEncoder::encode(SpecialKey::Clear)), (KeyOutput{QString(), true}));
    EXPECT_EQ(decode(KeyEncoder::encode(SpecialKey::Send)),
              (KeyOutput{QStringLiteral(" {Yes} "), false}));
    EXPECT_EQ(decode(KeyEncoder::encode(SpecialKey::End)),
              (KeyOutput{QStringLiteral(" {No} "), false}));
}

// A line of text, as the commands it sends and what it skips.
TEST_F(Encoder, TypingALineCountsPositionsInCharactersAndSkipsWhatNoKeyGives)
{
    // "é" takes two bytes, "{Clear}" seven, each one position; "{end" has
    // no closing brace, so its "{" is skipped and its letters are typed;
    // C0 AF is an overlong "/".
    const auto typed = typeLine("é{Clear}{SEND}€{FOO}\xFF\xC0\xAF" "5{end", encoder);

    std::vector<std::pair<int, std::string>> keys;
    for (const auto &key : typed.keys)
        keys.emplace_back(key.position, key.command);
    EXPECT_EQ(keys, (std::vector<std::pair<int, std::string>>{
                        {1, "AT+CKPD=\"33333\""}, {2, "AT+CKPD=\"c\""}, {3, "AT+CKPD=\"s\""},
                        {9, "AT+CKPD=\"5\",20"}, {11, "AT+CKPD=\"33\""}, {12, "AT+CKPD=\"66\""},
                        {13, "AT+CKPD=\"3\""}}));

    std::vector<std::pair<int, std::string>> skipped;
    for (const auto &s : typed.skipped)
        skipped.emplace_back(s.position, s.source);
    EXPECT_EQ(skipped, (std::vector<std::pair<int, std::string>>{
                           {4, "\"€\" (U+20AC)"}, {5, "{FOO}"}, {6, "byte 0xFF"},
                           {7, "byte 0xC0"}, {8, "byte 0xAF"}, {10, "\"{\" (U+007B)"}}));
}

} // namespace
