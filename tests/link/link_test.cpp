// The accessory link fed bytes: what it answers, logs, prompts and delivers.
#include "link/CommandIntake.h"
#include "link/KeyDecoder.h"
#include "link/KeyTable.h"
#include "link/OutputDelivery.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tavlun::link;

// Readable failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

std::string str(const QString &s) { return s.toStdString(); }

// Journals every call of the link, one string each.
struct Journal final : LinkOutput, DeliveryTarget, KeyInjector {
    QStringList calls;
    bool normal = true;

    void writeAnswer(QByteArrayView bytes) override { calls << "write " + QString::fromLatin1(bytes); }
    void addLogEntry(const QString &text) override { calls << "log " + text; }
    void setPrompt(const QString &text) override { calls << "prompt" + text; }
    void focusStep() override { calls << QStringLiteral("focus step"); }
    void CiktiGonder(const QString &token, bool clear) override
    {
        calls << QStringLiteral("deliver [%1]%2").arg(token, clear ? " clear" : "");
    }
    bool isNormalState() const override { return normal; }
    void focusTextBox() override { calls << QStringLiteral("focus"); }
    void appendToTextBox(const QString &text) override { calls << "append " + text; }
    void backspaceInTextBox() override { calls << QStringLiteral("backspace"); }
    bool sendKeys(const QString &keys) override
    {
        calls << "type " + keys;
        return true;
    }
};

const QString kOk = QStringLiteral("write OK\r\n");
const QString kOkEntry = QStringLiteral("log <- OK");

TEST(Link, ReceivedBytesAreAnsweredLoggedAndDecoded)
{
    struct Case {
        std::vector<QByteArray> reads;
        QStringList calls;
        QString bufferAfter;
    };
    const QString ready = "prompt" + kKeyboardReadyPrompt;
    const QString longLine(LineFramer::kMaxLineLength, u'A');
    const Case cases[] = {
        // A line spread over reads is answered once, when its carriage return comes.
        {{"AT+CKPD=\"", "222\"", "\r"},
         {kOk, "log -> AT+CKPD=\"222\"", kOkEntry, ready, "focus step", "deliver [C]"}, ""},
        {{"AT+CGMR\r"}, {kOk, "log -> AT+CGMR", kOkEntry, "prompt" + kSmsKeyPrompt, "deliver []"}, ""},
        {{"AT+CGMR=1\r"}, {kOk, "log -> AT+CGMR=1", kOkEntry, "prompt" + kSmsKeyPrompt, "deliver []"}, ""},
        // Every carriage return ends a line; one line feed after it belongs to
        // it, also in the next read; text after it waits.
        {{"AT\r", "\nAT+CKPD=\"c\"\r\nAT+"},
         {kOk, "log -> AT", kOkEntry, "deliver []", kOk, "log -> AT+CKPD=\"c\"", kOkEntry, ready, "focus step",
          "deliver [] clear"},
         "AT+"},
        {{"\r\n\n\r"}, {kOk, "log -> ", kOkEntry, "deliver []", kOk, "log -> \n", kOkEntry, "deliver []"}, ""},
        // Neither prefix, exactly and case-sensitively: logged and answered only.
        {{"at+ckpd=\"2\"\r", " AT+CKPD=\"2\"\r", "AT+CKPD\"2\"\r"},
         {kOk, "log -> at+ckpd=\"2\"", kOkEntry, "deliver []", kOk, "log ->  AT+CKPD=\"2\"", kOkEntry,
          "deliver []", kOk, "log -> AT+CKPD\"2\"", kOkEntry, "deliver []"},
         ""},
        // Bytes above 127 are Latin-1 characters; NUL is a character.
        {{QByteArray("AT+CKPD=\"\xC7\0\"\r", 13)},
         {kOk, "log -> AT+CKPD=\"\u00C7" + QString(QChar(0)) + "\"", kOkEntry, ready, "focus step",
          "deliver [&]"},
         ""},
        {{"", "AT"}, {}, "AT"},
        // A line longer than the bound is dropped up to its end; one of
        // exactly the bound is a line.
        {{longLine.toLatin1() + "A", "A\rAT\r"}, {kOk, "log -> AT", kOkEntry, "deliver []"}, ""},
        {{longLine.toLatin1(), "\r"}, {kOk, "log -> " + longLine, kOkEntry, "deliver []"}, ""},
    };
    for (const Case &c : cases) {
        Journal journal;
        CommandIntake intake(journal);
        QString input;
        for (const QByteArray &read : c.reads) {
            intake.receive(read);
            input += QString::fromLatin1(read.left(40)) + u'|';
        }
        EXPECT_EQ(journal.calls, c.calls) << "reads " << str(input) << "\ngot:\n"
                                          << str(journal.calls.join(u'\n'));
        EXPECT_EQ(intake.buffer(), c.bufferAfter) << "reads " << str(input);
    }
}

TEST(Link, MesajKontIsAnExactPrefixTestAndClearBufferForgetsTheLine)
{
    Journal journal;
    CommandIntake intake(journal);
    intake.receive("AT+C");
    EXPECT_TRUE(intake.MesajKont(QString()));
    EXPECT_TRUE(intake.MesajKont(QStringLiteral("AT+C")));
    EXPECT_FALSE(intake.MesajKont(QStringLiteral("AT+CK")));
    EXPECT_FALSE(intake.MesajKont(QStringLiteral("at")));
    intake.receive("\r");
    intake.receive("\n");
    intake.receive("KPD\r");
    intake.clearBuffer();
    intake.receive("\nAT\r");
    EXPECT_EQ(journal.calls.filter(QStringLiteral("log ->")),
              (QStringList{"log -> AT+C", "log -> KPD", "log -> \nAT"}));
}

TEST(Link, TusCozDecodesKeySequences)
{
    struct Case {
        const char16_t *line; // without its carriage return
        KeyOutput expected;
    };
    const QString nul(QChar(0));
    const QString twentyOnes(21, u'1'), twentyOnesLine = "AT+CKPD=\"" + twentyOnes + u'"';
    const Case cases[] = {
        {u"AT+CKPD=\"222\"", {"C"}},           {u"AT+CKPD=\"2\",20", {"2"}},
        {u"AT+CKPD=\"#\"", {"#"}},             {u"AT+CKPD=\"##\"", {"*"}},
        {u"AT+CKPD=\"*\"", {"+"}},             {u"AT+CKPD=\"#\",20", {"#"}},
        {u"AT+CKPD=\"23\"", {"B"}},            {u"AT+CKPD=\"22c\"", {"C"}},
        {u"AT+CKPD=\"1c44\"", {"H"}},          {u"AT+CKPD=\"c\"", {"", true}},
        {u"AT+CKPD=\"c22\"", {"", true}},      {u"AT+CKPD=\"s\"", {" {Yes} "}},
        {u"AT+CKPD=\"s\",20", {" {Yes} "}},    {u"AT+CKPD=\"e\"", {" {No} "}},
        {u"AT+CKPD=\">\"", {">"}},             {u"AT+CKPD=\"<\"", {"<"}},
        {u"AT+CKPD=\"S\"", {"+"}},             {u"AT+CKPD=\"7777\"", {"S"}},
        {u"AT+CKPD=\"77777\"", {"\u00DF"}},    {u"AT+CKPD=\"\"", {nul}},
        {u"AT+CKPD=\"11111111111111111111\"", {nul}},
        {u"AT+CKPD=\"0000000000000\"", {"0"}}, {u"AT+CKPD=\"222\"\n", {"\u00C5"}},
        {u"AT", {nul}},                        {u"", {nul}},
    };
    for (const Case &c : cases) {
        const QString line = QString::fromUtf16(c.line) + u'\r';
        EXPECT_EQ(TusCoz(line), c.expected) << "line " << str(line) << " gave [" << str(TusCoz(line).token)
                                           << "] clear " << TusCoz(line).clear;
    }
    EXPECT_EQ(TusCoz(twentyOnesLine + u'\r'), KeyOutput{}) << "21 presses give nothing";
}

TEST(Link, KeyTableHoldsTheMultiTapCharacters)
{
    // Press counts 1 to 17 of keys 0 to 10; '_' is an empty cell.
    const char16_t *const rows[] = {
        u"+&@/_%$\u00A3____0__  ", u" -?!,.:_ '___()1", u"ABC\u00C5\u00C1\u00C6\u00E2\u00C72",
        u"DEF\u00E8\u00C93", u"GHI\u00EC4", u"JKL5", u"MNO\u00D1\u00D6\u00D8\u00D26",
        u"PQRS\u00DF7 \u00A3", u"TUV\u00DC\u00D98", u"WXYZ9", u"#*",
    };
    for (int column = 0; column < kKeyColumns; ++column) {
        const QString row = column < 11 ? QString::fromUtf16(rows[column]) : QString();
        for (int presses = 0; presses < kPressCounts; ++presses) {
            const QChar want = presses >= 1 && presses <= row.size() && row[presses - 1] != u'_'
                ? row[presses - 1] : QChar(0);
            EXPECT_EQ(TusTablosu[column][presses], want.unicode())
                << "key " << column << ", " << presses << " presses";
        }
    }
}

TEST(Link, CiktiGonderDeliversWhereTheKeysGo)
{
    struct Case {
        bool normal;
        QString token;
        bool clear;
        QStringList calls;
    };
    const Case cases[] = {
        {true, "C", false, {"append C"}},
        {true, " {Yes} ", false, {"append  {Yes} "}},
        {true, "", true, {"backspace"}},
        {true, "A", true, {"backspace", "append A"}},
        {true, QString(QChar(0)), false, {}},
        {true, "", false, {}},
        {false, "\u00C7", false, {"type \u00C7"}},
        {false, " {Yes} ", false, {"type {ENTER}"}},
        {false, " {No} ", false, {"type {ESC}"}},
        {false, "{Yes}", false, {"type {Yes}"}},
        {false, ">", false, {"type >"}},
        {false, "", true, {"type {BACKSPACE}"}},
        {false, QString(QChar(0x1B)), true, {"type {BACKSPACE}"}},
    };
    for (const Case &c : cases) {
        Journal journal;
        journal.normal = c.normal;
        OutputDelivery delivery(journal, journal);
        delivery.CiktiGonder(c.token, c.clear);
        delivery.focusStep();
        QStringList want = c.calls;
        if (c.normal)
            want << QStringLiteral("focus");
        EXPECT_EQ(journal.calls, want) << (c.normal ? "normal" : "minimised") << ", token ["
                                       << str(c.token) << "] clear " << c.clear;
    }
}

} // namespace
