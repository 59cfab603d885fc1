// libFuzzer target over the accessory link fed bytes: line framing, the
// the dialogue, the decoder and delivery. The input is a small script:
//
//   byte 0       setup: bit 0 starts the window minimised
//   then records, each a header byte:
//     0xFF       an empty read
//     0xFE       the line so far is forgotten, as a new connection does
//     0xFD       the window changes between normal and minimised
//     0xFC r n   one read of the next n bytes repeated up to 64 * (r + 1)
//                bytes: long lines without long inputs
//     0..0xFB    one read of the next that many bytes
//
// A model of line framing written apart from the link's (every carriage
// return ends a line, one line feed right after it belongs to it, a line
// over 4,096 characters is dropped) predicts the lines; the journal of the
// link's calls must answer and log exactly those, in order, the answer of
// each first. Any difference, and any broken invariant (an answer other than
// "OK\r\n", a control character delivered or typed), stops the run with
// __builtin_trap().

#include "core/AccessoryDialogue.h"
#include "core/OutputDelivery.h"
#include "core/Utf8.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace {

using namespace tavlun::core;

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

struct Recorder final : LinkOutput, DeliveryTarget, KeyTyper {
    OutputDelivery delivery{*this, *this};
    bool normal = true;
    int step = 0; // of the current line: 0 before its answer, 1 answered, 2 logged
    std::vector<std::string> lines;

    void writeAnswer(std::string_view bytes) override
    {
        require(bytes == kAnswer && step == 0);
        step = 1;
    }
    void post(LinkEvent event) override
    {
        if (const auto *entry = std::get_if<LogEntry>(&event)) {
            if (step == 1) {
                require(entry->text.starts_with(kReceivedPrefix));
                lines.push_back(entry->text.substr(kReceivedPrefix.size()));
                step = 2;
            } else {
                require(step == 2 && entry->text == kAnswerEntry);
                step = 0;
            }
        } else if (const auto *prompt = std::get_if<PromptChange>(&event)) {
            require(step == 0 && (prompt->text == kSmsKeyPrompt || prompt->text == kKeyboardReadyPrompt));
        } else {
            require(step == 0);
            delivery.deliverKeypadKey(std::get<KeypadKeyDecoded>(event).key);
        }
    }
    bool isNormalState() const override { return normal; }
    void focusTextBox() override {}
    void appendToTextBox(std::string_view text) override
    {
        const auto sole = soleCharacter(text);
        require(!text.empty() && (!sole || !isControlCharacter(*sole)));
    }
    void backspaceInTextBox() override {}
    bool type(Key key) override
    {
        require(key.kind() != Key::Kind::Character || !isControlCharacter(key.character()));
        return true;
    }
};

// The framing model: the lines that a stream of reads completes.
struct Model {
    std::string line;
    bool afterCr = false;
    bool dropping = false;
    std::vector<std::string> lines;

    void take(const std::string &read)
    {
        for (const char byte : read) {
            const bool skip = afterCr && byte == '\n';
            afterCr = byte == '\r';
            if (skip)
                continue;
            if (byte == '\r') {
                if (!dropping)
                    lines.push_back(line);
                line.clear();
                dropping = false;
            } else if (!dropping) {
                line += byte;
                if (line.size() > 4096) {
                    line.clear();
                    dropping = true;
                }
            }
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    Recorder out;
    Model model;
    AccessoryDialogue dialogue(out);
    out.normal = !(data[0] & 1);
    std::size_t at = 1;
    while (at < size) {
        const std::uint8_t header = data[at++];
        std::string read;
        if (header == 0xFE) {
            dialogue.clearLine();
            model = Model{{}, false, false, std::move(model.lines)};
            continue;
        }
        if (header == 0xFD) {
            out.normal = !out.normal;
            continue;
        }
        if (header == 0xFC && at + 2 <= size) {
            const std::size_t length = 64 * (std::size_t{data[at]} + 1);
            const std::size_t n = std::min<std::size_t>(data[at + 1], size - at - 2);
            at += 2;
            const std::string piece(reinterpret_cast<const char *>(data + at), n);
            at += n;
            while (!piece.empty() && read.size() < length)
                read += piece;
        } else if (header < 0xFC) {
            const std::size_t n = std::min<std::size_t>(header, size - at);
            read.assign(reinterpret_cast<const char *>(data + at), n);
            at += n;
        }
        dialogue.receive(read);
        model.take(read);
        require(out.lines.size() == model.lines.size());
        for (std::size_t i = 0; i < out.lines.size(); ++i)
            require(out.lines[i] == latin1ToUtf8(model.lines[i]));
        require(dialogue.lineSoFar() == model.line);
    }
    return 0;
}
