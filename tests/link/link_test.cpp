// The accessory link fed bytes: what it answers, logs, prompts and delivers.
#include "link/CommandIntake.h"
#include "link/KeyDecoder.h"
#include "link/KeyTable.h"
#include "link/OutputDelivery.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <vector>

using namespace tavlun::link;

// Readable failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

// Journals every call of the link, one string each.
struct Journal final : LinkOutput, DeliveryTarget, KeyInjector {
    QStringList calls;
    bool normal = true;

    void writeAnswer(QByteArrayView bytes) override { calls << "write " + QString::fromLatin1(bytes); }
    void addLogEntry(const QString &text) override { calls << "log " + text; }
    void setPrompt(const QString &text) override { calls << "prompt" + text; }
    void focusStep() override { calls << QStringLiteral("focus step"); }
    void CiktiGonder(const QString &token, bool clear) override { calls << "deliver [" + token + (clear ? "] clear" : "]"); }
    bool isNormalState() const override { return normal; }
    void focusTextBox() override { calls << QStringLiteral("focus"); }
    void appendToTextBox(const QString &text) override { calls << "append " + text; }
    void backspaceInTextBox() override { calls << QStringLiteral("backspace"); }
    bool sendKeys(const QString &keys) override { calls << "type " + keys; return true; }
};

const QString kOk = QStringLiteral("write OK\r\n");
const QString kOkEntry = QStringLiteral("log <- OK");

TEST(Link, ReceivedBytesAreAnsweredLoggedAndDecoded)
{
    struct Case { std::vector<QByteArray> reads; QStringList calls; };
    const QString ready = "prompt" + kKeyboardReadyPrompt;
    const QString longLine(LineFramer::kMaxLineLength, u'A');
    const Case cases[] = {
        // A line spread over reads is answered once, when its carriage return comes.
        {{"AT+CKPD=\"", "222\"", "\r"},
         {kOk, "log -> AT+CKPD=\"222\"", kOkEntry, ready, "focus step", "deliver [C]"}},
        {{"AT+CGMR=1\r"}, {kOk, "log -> AT+CGMR=1", kOkEntry, "prompt" + kSmsKeyPrompt, "deliver []"}},
        // Every carriage return ends a line; one line feed after it belongs to
        // it, also in the next read; text after it waits, and a line feed
        // later on is text.
        {{"AT\r", "\nAT+CKPD=\"c\"\r\nAT+", "\nX\r"},
         {kOk, "log -> AT", kOkEntry, "deliver []", kOk, "log -> AT+CKPD=\"c\"", kOkEntry, ready, "focus step",
          "deliver [] clear", kOk, "log -> AT+\nX", kOkEntry, "deliver []"}},
        {{"\r\n\n\r"}, {kOk, "log -> ", kOkEntry, "deliver []", kOk, "log -> \n", kOkEntry, "deliver []"}},
        // Neither prefix, exactly and case-sensitively: logged and answered only.
        {{"at+ckpd=\"2\"\r", " AT+CKPD=\"2\"\r", "AT+CKPD\"2\"\r"},
         {kOk, "log -> at+ckpd=\"2\"", kOkEntry, "deliver []", kOk, "log ->  AT+CKPD=\"2\"", kOkEntry,
          "deliver []", kOk, "log -> AT+CKPD\"2\"", kOkEntry, "deliver []"}},
        // Bytes above 127 are Latin-1 characters; NUL is a character.
        {{QByteArray("AT+CKPD=\"\xC7\0\"\r", 13)},
         {kOk, "log -> AT+CKPD=\"\u00C7" + QString(QChar(0)) + "\"", kOkEntry, ready, "focus step",
          "deliver [&]"}},
        // A line longer than the bound is dropped up to its end; one of
        // exactly the bound is a line.
        {{longLine.toLatin1() + "A", "A\rAT\r"}, {kOk, "log -> AT", kOkEntry, "deliver []"}},
        {{longLine.toLatin1(), "\r"}, {kOk, "log -> " + longLine, kOkEntry, "deliver []"}},
        // An empty read stands for clearBuffer(), which forgets the part line and its line feed.
        {{"AT+CK", "", "AT\r", "", "\nAT\r"},
         {kOk, "log -> AT", kOkEntry, "deliver []", kOk, "log -> \nAT", kOkEntry, "deliver []"}},
    };
    for (const Case &c : cases) {
        Journal journal;
        CommandIntake intake(journal);
        QString input;
        for (const QByteArray &read : c.reads) {
            read.isEmpty() ? intake.clearBuffer() : intake.receive(read);
            input += QString::fromLatin1(read.left(40)) + u'|';
        }
        EXPECT_EQ(journal.calls, c.calls) << "reads " << qPrintable(input);
    }
}

// Every cell of the key table as the keys give it, then the other kinds of
// key sequence.
TEST(Link, TusCozDecodesKeySequences)
{
    const QString nul(QChar(0));
    const char16_t *const rows[] = {
        u"+&@/_%$\u00A3____0__  ", u" -?!,.:_ '___()1", u"ABC\u00C5\u00C1\u00C6\u00E2\u00C72",
        u"DEF\u00E8\u00C93", u"GHI\u00EC4", u"JKL5", u"MNO\u00D1\u00D6\u00D8\u00D26",
        u"PQRS\u00DF7 \u00A3", u"TUV\u00DC\u00D98", u"WXYZ9", u"#*",
    };
    std::vector<std::pair<QString, KeyOutput>> cases;
    for (int key = 0; key <= 10; ++key) {
        const QString row = QString::fromUtf16(rows[key]);
        for (int presses = 1; presses <= 21; ++presses) {
            const QChar cell = presses <= row.size() && row[presses - 1] != u'_' ? row[presses - 1] : QChar(0);
            cases.push_back({"AT+CKPD=\"" + QString(presses, QChar(key == 10 ? u'#' : u'0' + key)) + u'"',
                             presses == 21 ? KeyOutput{} : KeyOutput{QString(cell)}});
        }
    }
    const std::pair<const char16_t *, KeyOutput> others[] = {
        {u"AT+CKPD=\"2\",20", {"2"}},      {u"AT+CKPD=\"*\"", {"+"}},        {u"AT+CKPD=\"S\"", {"+"}},
        {u"AT+CKPD=\"23\"", {"B"}},        {u"AT+CKPD=\"22c\"", {"C"}},      {u"AT+CKPD=\"1c44\"", {"H"}},
        {u"AT+CKPD=\"c22\"", {"", true}},  {u"AT+CKPD=\"s\"", {" {Yes} "}},  {u"AT+CKPD=\"s\",20", {" {Yes} "}},
        {u"AT+CKPD=\"e\"", {" {No} "}},    {u"AT+CKPD=\"\"", {nul}},         {u"AT+CKPD=\"222\"\n", {"\u00C5"}},
    };
    for (const auto &[line, expected] : others)
        cases.push_back({QString::fromUtf16(line), expected});
    for (const auto &[line, expected] : cases) {
        const KeyOutput got = TusCoz(line + u'\r');
        EXPECT_EQ(got, expected) << "line " << qPrintable(line) << ": expected [" << qPrintable(expected.token)
                                 << "] clear " << expected.clear << ", got [" << qPrintable(got.token) << "] clear " << got.clear;
    }
}

TEST(Link, CiktiGonderDeliversWhereTheKeysGo)
{
    struct Case { bool normal; QString token; bool clear; QStringList calls; };
    const Case cases[] = {
        {true, "C", false, {"append C", "focus"}},
        {true, "", true, {"backspace", "focus"}},
        {true, QString(QChar(0)), false, {"focus"}},
        // Minimised, characters and the clear, send and end keys are typed: e2e_typing.
        {false, QString(QChar(0x1B)), true, {"type {BACKSPACE}"}},
    };
    for (const Case &c : cases) {
        Journal journal;
        journal.normal = c.normal;
        OutputDelivery delivery(journal, journal);
        delivery.CiktiGonder(c.token, c.clear);
        delivery.focusStep();
        EXPECT_EQ(journal.calls, c.calls) << (c.normal ? "normal" : "minimised") << ", token ["
                                       << qPrintable(c.token) << "] clear " << c.clear;
    }
}

} // namespace
