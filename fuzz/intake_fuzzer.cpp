// libFuzzer target over the receive flow (CommandIntake) and the decoder
// (TusCoz). The input is a small script of serial port events:
//
//   byte 0       setup: bit 0 starts the window minimised; bits 1-7, when not
//                zero, say how many lines short of its limit the traffic log
//                starts (as after a long session), so that its trimming is
//                reached quickly
//   then records, each a header byte:
//     0xFF       an event of another kind than receive, with a carriage
//                return waiting in the port (it must stay unread)
//     0xFE       the buffer is emptied, as a new connection does
//     0xFD       the window changes between normal and minimised
//     0xFC r n   one receive event whose read returns the next n bytes
//                repeated up to 64 * (r + 1) characters: long lines without
//                long inputs
//     0..0xFB    one receive event whose read returns the next that many bytes
//
// A stream-level model of line assembly predicts, after every event, the
// receive buffer and the lines completed; the recording fakes journal every
// call the intake makes, and the journal must be exactly what the receive flow
// prescribes for those lines. Any difference, and any broken invariant (an
// answer other than "OK\r\n", a log over its limit, a buffer over 4,096
// characters, a control character delivered, a key string outside the
// allowed set), stops the run with __builtin_trap().

#include "link/CommandIntake.h"
#include "link/KeyDecoder.h"
#include "link/KeyInjector.h"
#include "link/KeyTable.h"
#include "link/LinkDisplay.h"
#include "link/OutputDelivery.h"
#include "serial/SerialPort.h"

#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace {

using tavlun::link::CommandIntake;
using tavlun::link::KeyTable;
using tavlun::serial::CommEvent;

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// Control characters: C0, DEL and C1.
bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// What the intake did, in order.
struct Call {
    enum Kind { LogAdd, LogRemove, Select, Answer, Prompt, Focus, Append, Backspace, Inject } kind;
    QString text;
    int number = 0;

    bool operator==(const Call &) const = default;
};

using Journal = std::vector<Call>;

class ScriptedPort final : public tavlun::serial::SerialPort {
public:
    explicit ScriptedPort(Journal &journal) : journal_(journal) {}

    void raise(CommEvent kind, const QString &waiting)
    {
        waiting_ = waiting;
        event_ = kind;
    }
    void settle() { event_ = CommEvent::None; }
    const QString &waiting() const { return waiting_; }

    bool setPortNumber(int) override { return true; }
    int portNumber() const override { return 1; }
    bool open() override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    bool setLineSettings(const QString &) override { return true; }
    void setReceiveThreshold(int) override {}
    void setInputLength(int) override {}
    CommEvent eventKind() const override { return event_; }
    QString readInput() override
    {
        require(event_ == CommEvent::Receive);
        return std::exchange(waiting_, QString());
    }
    bool writeText(const QString &text) override
    {
        require(text == QStringLiteral("OK\r\n"));
        journal_.push_back({Call::Answer, text});
        return true;
    }

private:
    Journal &journal_;
    QString waiting_;
    CommEvent event_ = CommEvent::None;
};

class JournalLog final : public tavlun::link::TrafficLog {
public:
    explicit JournalLog(Journal &journal) : journal_(journal) {}

    void addEntry(const QString &text) override
    {
        entries.push_back(text);
        // Two entries a line, trimmed right after the second.
        require(size() <= CommandIntake::kMaxLogEntries + 2);
        journal_.push_back({Call::LogAdd, text});
    }
    int entryCount() const override { return static_cast<int>(size()); }
    void removeFirstEntries(int count) override
    {
        require(count > 0 && static_cast<std::size_t>(count) <= size());
        const std::size_t fromEarlier = std::min(static_cast<std::size_t>(count), earlier);
        earlier -= fromEarlier;
        entries.erase(entries.begin(),
                      entries.begin() + static_cast<std::ptrdiff_t>(count - fromEarlier));
        journal_.push_back({Call::LogRemove, {}, count});
    }
    void selectEntry(int row) override
    {
        require(row >= 0 && static_cast<std::size_t>(row) < size());
        journal_.push_back({Call::Select, {}, row});
    }

    std::size_t size() const { return earlier + entries.size(); }

    std::size_t earlier = 0;     // entries of an earlier session, not kept
    std::deque<QString> entries; // the entries added here

private:
    Journal &journal_;
};

class JournalPrompt final : public tavlun::link::StatusPrompt {
public:
    explicit JournalPrompt(Journal &journal) : journal_(journal) {}
    void setPrompt(const QString &text) override { journal_.push_back({Call::Prompt, text}); }

private:
    Journal &journal_;
};

class JournalTarget final : public tavlun::link::DeliveryTarget {
public:
    explicit JournalTarget(Journal &journal) : journal_(journal) {}

    bool isNormalState() const override { return normal; }
    void focusTextBox() override { journal_.push_back({Call::Focus, {}}); }
    void appendToTextBox(const QString &text) override
    {
        require(text == tavlun::link::kSendMarker || text == tavlun::link::kEndMarker
                || (text.size() == 1 && !isControl(text.front().unicode())));
        journal_.push_back({Call::Append, text});
    }
    void backspaceInTextBox() override { journal_.push_back({Call::Backspace, {}}); }

    bool normal = true;

private:
    Journal &journal_;
};

class JournalInjector final : public tavlun::link::KeyInjector {
public:
    explicit JournalInjector(Journal &journal) : journal_(journal) {}

    bool sendKeys(const QString &keys) override
    {
        require(keys == tavlun::link::kBackspaceKey || keys == tavlun::link::kEnterKey
                || keys == tavlun::link::kEscapeKey
                || (keys.size() == 1 && !isControl(keys.front().unicode())));
        journal_.push_back({Call::Inject, keys});
        return true;
    }

private:
    Journal &journal_;
};

// Line assembly as the intake promises it, over the stream as a whole: a
// carriage return ends a line, a line feed right after it belongs to it, and
// a line that grows past the limit is dropped up to its carriage return,
// unanswered. How the stream is cut into reads makes no difference.
class LineModel {
public:
    std::vector<QString> take(QStringView text)
    {
        std::vector<QString> completed;
        for (const QChar c : text) {
            if (std::exchange(afterReturn_, false) && c == u'\n')
                continue;
            if (c == u'\r') {
                if (!overflow_)
                    completed.push_back(pending);
                pending.clear();
                overflow_ = false;
                afterReturn_ = true;
            } else if (!overflow_) {
                pending += c;
                if (pending.size() > CommandIntake::kMaxLineLength) {
                    pending.clear();
                    overflow_ = true;
                }
            }
        }
        return completed;
    }
    void reset()
    {
        pending.clear();
        overflow_ = false;
        afterReturn_ = false;
    }

    QString pending;

private:
    bool overflow_ = false;
    bool afterReturn_ = false;
};

const KeyTable &keyTable()
{
    static const KeyTable table = [] {
        KeyTable t;
        t.TusTablosuKur();
        return t;
    }();
    return table;
}

// What the receive flow must do for one completed line. `logSize` is the
// log's size before the line; it is updated.
void expectLine(Journal &expected, const QString &line, bool normal, std::size_t &logSize)
{
    using namespace tavlun::link;
    expected.push_back({Call::LogAdd, kReceivedPrefix + line});
    expected.push_back({Call::Answer, kAnswer});
    expected.push_back({Call::LogAdd, kAnswerEntry});
    logSize += 2;
    if (logSize > CommandIntake::kMaxLogEntries) {
        const int excess = static_cast<int>(logSize) - CommandIntake::kMaxLogEntries;
        expected.push_back({Call::LogRemove, {}, excess});
        logSize = CommandIntake::kMaxLogEntries;
    }
    expected.push_back({Call::Select, {}, static_cast<int>(logSize) - 2});

    if (line.startsWith(kRevisionQuery))
        expected.push_back({Call::Prompt, kSmsKeyPrompt});
    if (!line.startsWith(kKeypadCommand))
        return;
    expected.push_back({Call::Prompt, kKeyboardReadyPrompt});
    if (normal)
        expected.push_back({Call::Focus, {}});
    const KeyOutput out = TusCoz(line + u'\r', keyTable());
    if (out.clear)
        expected.push_back(normal ? Call{Call::Backspace, {}} : Call{Call::Inject, kBackspaceKey});
    if (out.token.isEmpty() || (out.token.size() == 1 && isControl(out.token.front().unicode())))
        return;
    if (normal)
        expected.push_back({Call::Append, out.token});
    else if (out.token == kSendMarker)
        expected.push_back({Call::Inject, kEnterKey});
    else if (out.token == kEndMarker)
        expected.push_back({Call::Inject, kEscapeKey});
    else
        expected.push_back({Call::Inject, out.token});
}

// Properties of the decoder on any text, read off its definition by positions.
void checkDecoder(const QString &s)
{
    using namespace tavlun::link;
    const KeyOutput out = TusCoz(s, keyTable());
    require(out == TusCoz(s, keyTable()));
    require(!out.clear || out.token.isEmpty());
    require(out.token.size() <= 1 || out.token == kSendMarker || out.token == kEndMarker);

    const qsizetype n = s.size();
    const QString keyChar = n > 9 ? s.mid(9, 1) : QString();
    if (keyChar == u"c") {
        require(out.clear);
        return;
    }
    require(!out.clear);
    if (keyChar == u"s" || keyChar == u"e" || keyChar == u">" || keyChar == u"<") {
        require(out.token == (keyChar == u"s" ? kSendMarker : keyChar == u"e" ? kEndMarker : keyChar));
        return;
    }
    if (n >= 3 && QStringView(s).mid(n - 3, 2) == u"20") {
        require(out.token == keyChar);
        return;
    }
    QStringView sequence = n > 11 ? QStringView(s).mid(9, n - 11) : QStringView();
    if (sequence.size() >= 2 && sequence[1] == u'c')
        sequence = sequence.mid(2);
    if (sequence.size() > 20) {
        require(out.token.isEmpty());
        return;
    }
    int column = 0;
    if (!sequence.isEmpty() && sequence[0] == u'#')
        column = 10;
    else if (!sequence.isEmpty() && sequence[0] >= u'0' && sequence[0] <= u'9')
        column = sequence[0].unicode() - u'0';
    require(out.token.size() == 1);
    require(out.token.front().unicode()
            == keyTable().at(column, static_cast<int>(sequence.size())));
}

void compare(const Journal &actual, const Journal &expected)
{
    require(actual.size() == expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
        require(actual[i] == expected[i]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;

    Journal journal;
    ScriptedPort port(journal);
    JournalLog log(journal);
    JournalPrompt prompt(journal);
    JournalTarget target(journal);
    JournalInjector injector(journal);
    tavlun::link::OutputDelivery delivery(target, injector);
    CommandIntake intake(port, keyTable(), log, prompt, delivery);
    LineModel model;

    target.normal = (data[0] & 1) == 0;
    if (const int shortBy = data[0] >> 1; shortBy > 0) {
        log.earlier = static_cast<std::size_t>(CommandIntake::kMaxLogEntries - 2 * shortBy);
    }

    // The decoder on the whole input taken as UTF-16, beyond what a serial
    // port (one character per byte) can deliver.
    {
        std::u16string wide(size / 2, u'\0');
        std::memcpy(wide.data(), data, wide.size() * sizeof(char16_t));
        checkDecoder(QString(reinterpret_cast<const QChar *>(wide.data()),
                             static_cast<qsizetype>(wide.size())));
    }

    std::size_t pos = 1;
    while (pos < size) {
        const std::uint8_t header = data[pos++];
        journal.clear();
        if (header == 0xFF) {
            const QString buffered = intake.buffer();
            port.raise(CommEvent::LineError, QStringLiteral("\r"));
            intake.onPortEvent();
            port.settle();
            require(port.waiting() == QStringLiteral("\r"));
            require(journal.empty() && intake.buffer() == buffered);
            continue;
        }
        if (header == 0xFE) {
            intake.clearBuffer();
            model.reset();
            require(intake.buffer().isEmpty());
            continue;
        }
        if (header == 0xFD) {
            target.normal = !target.normal;
            continue;
        }
        qsizetype fill = 0;
        std::size_t length = header;
        if (header == 0xFC) {
            if (size - pos < 2)
                break;
            fill = 64 * (data[pos] + 1);
            length = data[pos + 1];
            pos += 2;
        }
        length = std::min(length, size - pos);
        QString text = QString::fromLatin1(reinterpret_cast<const char *>(data + pos),
                                           static_cast<qsizetype>(length));
        pos += length;
        if (fill > 0 && !text.isEmpty())
            text = text.repeated((fill + text.size() - 1) / text.size()).left(fill);

        checkDecoder(text);

        std::size_t logSize = log.size();
        Journal expected;
        for (const QString &line : model.take(text))
            expectLine(expected, line, target.normal, logSize);

        port.raise(CommEvent::Receive, text);
        intake.onPortEvent();
        port.settle();

        compare(journal, expected);
        require(log.size() == logSize);
        require(log.size() <= CommandIntake::kMaxLogEntries);
        require(intake.buffer().size() <= CommandIntake::kMaxLineLength);
        require(intake.buffer() == model.pending);
    }
    return 0;
}
