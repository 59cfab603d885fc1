// libFuzzer target over the accessory link fed bytes: line framing, the
// receive flow, the decoder TusCoz and delivery. The input is a small script:
//
//   byte 0       setup: bit 0 starts the window minimised
//   then records, each a header byte:
//     0xFF       an empty read
//     0xFE       the buffer is emptied, as a new connection does
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
// "OK\r\n", a control character delivered, a key string outside the allowed
// set), stops the run with __builtin_trap().

#include "link/CommandIntake.h"
#include "link/KeyInjector.h"
#include "link/OutputDelivery.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using namespace tavlun::link;

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

struct Recorder final : LinkOutput, DeliveryTarget, KeyInjector {
    OutputDelivery delivery{*this, *this};
    bool normal = true;
    bool answered = false; // the current line's answer went out
    std::vector<QString> lines;

    void writeAnswer(QByteArrayView bytes) override
    {
        require(bytes == kAnswer && !answered);
        answered = true;
    }
    void addLogEntry(const QString &text) override
    {
        require(answered);
        if (text.startsWith(kReceivedPrefix) && text != kAnswerEntry)
            lines.push_back(text.mid(kReceivedPrefix.size()));
        else
            require(text == kAnswerEntry);
    }
    void setPrompt(const QString &text) override
    {
        require(text == kSmsKeyPrompt || text == kKeyboardReadyPrompt);
    }
    void focusStep() override { delivery.focusStep(); }
    void CiktiGonder(const QString &token, bool clear) override
    {
        require(answered);
        answered = false;
        delivery.CiktiGonder(token, clear);
    }
    bool isNormalState() const override { return normal; }
    void focusTextBox() override {}
    void appendToTextBox(const QString &text) override
    {
        require(text.size() != 1 || !isControlCharacter(text.front().unicode()));
    }
    void backspaceInTextBox() override {}
    bool sendKeys(const QString &keys) override
    {
        require(keys == kBackspaceKey || keys == kEnterKey || keys == kEscapeKey
                || (keys.size() == 1 && !isControlCharacter(keys.front().unicode())));
        return true;
    }
};

// The framing model: the lines that a stream of reads completes.
struct Model {
    QString line;
    bool afterCr = false;
    bool dropping = false;
    std::vector<QString> lines;

    void take(const QByteArray &read)
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
                line += QChar(char16_t(static_cast<unsigned char>(byte)));
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
    CommandIntake intake(out);
    out.normal = !(data[0] & 1);
    std::size_t at = 1;
    while (at < size) {
        const std::uint8_t header = data[at++];
        QByteArray read;
        if (header == 0xFE) {
            intake.clearBuffer();
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
            const QByteArray piece(reinterpret_cast<const char *>(data + at), static_cast<qsizetype>(n));
            at += n;
            while (!piece.isEmpty() && read.size() < static_cast<qsizetype>(length))
                read += piece;
        } else if (header < 0xFC) {
            const std::size_t n = std::min<std::size_t>(header, size - at);
            read = QByteArray(reinterpret_cast<const char *>(data + at), static_cast<qsizetype>(n));
            at += n;
        }
        intake.receive(read);
        model.take(read);
        require(out.lines == model.lines);
        require(intake.buffer() == model.line);
    }
    return 0;
}
