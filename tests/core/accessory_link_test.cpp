// The accessory link fed bytes: what it answers, logs, prompts and delivers.
#include "core/AccessoryDialogue.h"
#include "core/KeySequenceDecoder.h"
#include "core/OutputDelivery.h"
#include "core/Utf8.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

using namespace tavlun::core;
using namespace std::string_literals;
using Calls = std::vector<std::string>;

namespace {

// Journals every call of the link, one string each.
struct Journal final : LinkOutput, DeliveryTarget, KeyTyper {
    Calls calls;
    bool normal = true;

    void writeAnswer(std::string_view bytes) override { calls.push_back("write " + std::string(bytes)); }
    void post(LinkEvent event) override
    {
        if (const auto *entry = std::get_if<LogEntry>(&event))
            calls.push_back("log " + entry->text);
        else if (const auto *prompt = std::get_if<PromptChange>(&event))
            calls.push_back("prompt" + prompt->text);
        else
            calls.push_back("key [" + std::get<KeypadKeyDecoded>(event).key.token
                            + (std::get<KeypadKeyDecoded>(event).key.clear ? "] clear" : "]"));
    }
    bool isNormalState() const override { return normal; }
    void focusTextBox() override { calls.push_back("focus"); }
    void appendToTextBox(std::string_view text) override { calls.push_back("append " + std::string(text)); }
    void backspaceInTextBox() override { calls.push_back("backspace"); }
    bool type(Key key) override
    {
        std::string name = std::array{"", "{BACKSPACE}", "{ENTER}", "{ESC}"}[std::size_t(key.kind())];
        if (key.kind() == Key::Kind::Character)
            appendUtf8(name, key.character());
        calls.push_back("type " + name);
        return true;
    }
};

const std::string kOk = "write OK\r\n";
const std::string kOkEntry = "log <- OK";

std::string joined(const Calls &calls)
{
    std::string all;
    for (const std::string &call : calls)
        all += call + " | ";
    return all;
}

TEST(AccessoryLink, ReceivedBytesAreAnsweredLoggedAndDecoded)
{
    struct Case { std::vector<std::string> reads; Calls calls; };
    const std::string ready = "prompt" + std::string(kKeyboardReadyPrompt);
    const std::string longLine(LineFramer::kMaxLineLength, 'A');
    const Case cases[] = {
        // A line spread over reads is answered once, when its carriage return comes.
        {{"AT+CKPD=\"", "222\"", "\r"}, {kOk, "log -> AT+CKPD=\"222\"", kOkEntry, ready, "key [C]"}},
        {{"AT+CGMR=1\r"}, {kOk, "log -> AT+CGMR=1", kOkEntry, "prompt" + std::string(kSmsKeyPrompt)}},
        // Every carriage return ends a line; one line feed after it belongs to
        // it, also in the next read; text after it waits, and a line feed
        // later on is text.
        {{"AT\r", "\nAT+CKPD=\"c\"\r\nAT+", "\nX\r"},
         {kOk, "log -> AT", kOkEntry, kOk, "log -> AT+CKPD=\"c\"", kOkEntry, ready, "key [] clear", kOk,
          "log -> AT+\nX", kOkEntry}},
        {{"\r\n\n\r"}, {kOk, "log -> ", kOkEntry, kOk, "log -> \n", kOkEntry}},
        {{"\nAT\r"}, {kOk, "log -> \nAT", kOkEntry}}, // no carriage return before: the line feed is text
        // Neither prefix, exactly and case-sensitively: logged and answered only.
        {{"at+ckpd=\"2\"\r", " AT+CKPD=\"2\"\r", "AT+CKPD\"2\"\r"},
         {kOk, "log -> at+ckpd=\"2\"", kOkEntry, kOk, "log ->  AT+CKPD=\"2\"", kOkEntry, kOk,
          "log -> AT+CKPD\"2\"", kOkEntry}},
        // Bytes above 127 are Latin-1 characters; NUL is a character.
        {{"AT+CKPD=\"\xC7\0\"\r"s}, {kOk, "log -> AT+CKPD=\"\u00C7\0\""s, kOkEntry, ready, "key [&]"}},
        // A line longer than the bound is dropped up to its end; one of
        // exactly the bound is a line.
        {{longLine + "A", "A\rAT\r"}, {kOk, "log -> AT", kOkEntry}},
        {{longLine, "\r"}, {kOk, "log -> " + longLine, kOkEntry}},
        // An empty read stands for clearLine(), which forgets the part line and its line feed, or a line too long.
        {{"AT+CK", "", "AT\r", "", "\nAT\r"}, {kOk, "log -> AT", kOkEntry, kOk, "log -> \nAT", kOkEntry}},
        {{longLine + "A", "", "AT\r"}, {kOk, "log -> AT", kOkEntry}},
    };
    for (const Case &c : cases) {
        Journal journal;
        AccessoryDialogue dialogue(journal);
        std::string input;
        for (const std::string &read : c.reads) {
            read.empty() ? dialogue.clearLine() : dialogue.receive(read);
            input += read.substr(0, 40) + '|';
        }
        EXPECT_EQ(journal.calls, c.calls) << "reads " << input << "\ngot " << joined(journal.calls);
    }
}

// Every cell of the key table as the keys give it, then the other kinds of
// key sequence.
TEST(AccessoryLink, KeySequencesDecodeThroughTheKeyTable)
{
    const std::string nul(1, '\0');
    const char32_t *const rows[] = {
        U"+&@/_%$\u00A3____0__  ", U" -?!,.:_ '___()1", U"ABC\u00C5\u00C1\u00C6\u00E2\u00C72",
        U"DEF\u00E8\u00C93", U"GHI\u00EC4", U"JKL5", U"MNO\u00D1\u00D6\u00D8\u00D26",
        U"PQRS\u00DF7 \u00A3", U"TUV\u00DC\u00D98", U"WXYZ9", U"#*",
    };
    std::vector<std::pair<std::string, DecodedKey>> cases;
    for (int key = 0; key <= 10; ++key) {
        const std::u32string_view row = rows[key];
        for (std::size_t presses = 1; presses <= 21; ++presses) {
            const char32_t cell = presses <= row.size() && row[presses - 1] != U'_' ? row[presses - 1] : 0;
            std::string token;
            appendUtf8(token, cell);
            cases.push_back({"AT+CKPD=\"" + std::string(presses, key == 10 ? '#' : char('0' + key)) + '"',
                             presses == 21 ? DecodedKey{} : DecodedKey{token}});
        }
    }
    const std::pair<const char *, DecodedKey> others[] = {
        {"AT+CKPD=\"2\",20", {"2"}},     {"AT+CKPD=\"*\"", {"+"}},         {"AT+CKPD=\"S\"", {"+"}},
        {"AT+CKPD=\"23\"", {"B"}},       {"AT+CKPD=\"22c\"", {"C"}},       {"AT+CKPD=\"1c44\"", {"H"}},
        {"AT+CKPD=\"c22\"", {"", true}}, {"AT+CKPD=\"s\"", {" {Yes} "}},   {"AT+CKPD=\"s\",20", {" {Yes} "}},
        {"AT+CKPD=\"e\"", {" {No} "}},   {"AT+CKPD=\"\"", {nul}},          {"AT+CKPD=\"222\"\n", {"\u00C5"}},
        {"AT+CKPD=\"\xC7\",20", {"\u00C7"}}, {"AT+CKP", {nul}},
    };
    for (const auto &[line, expected] : others)
        cases.push_back({line, expected});
    for (const auto &[line, expected] : cases) {
        const DecodedKey got = decodeKeySequence(line + '\r');
        EXPECT_EQ(got, expected) << "line " << line << ": expected [" << expected.token << "] clear " << expected.clear
                                 << ", got [" << got.token << "] clear " << got.clear;
    }
}

TEST(AccessoryLink, TextsAreUtf8AndEveryCharacterComesBackAsItself)
{
    for (const char32_t c : {U'A', U'\u00C7', U'\u011F', U'\u20AC', U'\U0001D11E', U'\U0010FFFD'}) {
        std::string text;
        appendUtf8(text, c);
        EXPECT_EQ(soleCharacter(text), c) << "U+" << std::hex << unsigned(c);
    }
    EXPECT_EQ(std::tuple(soleCharacter("AB"), soleCharacter("\xC3"), soleCharacter("\xC3" "A"), latin1ToUtf8("\xC7\xFF")),
              std::tuple(std::nullopt, std::nullopt, std::nullopt, std::string("\u00C7\u00FF")));
}

// Characters, the clear, send and end keys reach the text box and other
// applications end to end (e2e_typing); here, what must not.
TEST(AccessoryLink, DeliveryBackspacesInTheTextBoxAndTypesNoControlCharacter)
{
    struct Case { bool normal; std::string token; bool clear; Calls calls; };
    const Case cases[] = {
        {true, "", true, {"focus", "backspace"}},
        {true, std::string(1, '\0'), false, {"focus"}},
        {false, "\x1B", true, {"type {BACKSPACE}"}},
        {false, "\u0085", false, {}},
        {false, std::string(kSendMarker), false, {"type {ENTER}"}},
    };
    for (const Case &c : cases) {
        Journal journal;
        journal.normal = c.normal;
        OutputDelivery(journal, journal).deliverKeypadKey({c.token, c.clear});
        EXPECT_EQ(journal.calls, c.calls) << (c.normal ? "normal" : "minimised") << ", token [" << c.token
                                          << "] clear " << c.clear << "\ngot " << joined(journal.calls);
    }
}

} // namespace
