#include "link/CommandIntake.h"
#include "support/FakeSerialPort.h"
#include "support/Recorders.h"

#include <QObject>

#include <gtest/gtest.h>

using namespace tavlun;
using tavlun::link::CommandIntake;

namespace {

const QString kIdle = QStringLiteral(" Port Seçip cihazı bağlayın...");
const QString kSms = QStringLiteral(" SMS Tuşuna Basın...");
const QString kReady = QStringLiteral(" Klavye hazır. Bir Tuşa basın...");
const QString kOk = QStringLiteral("OK\r\n");

QString ok(int times)
{
    return kOk.repeated(times);
}

class Intake : public ::testing::Test {
protected:
    Intake()
    {
        table.TusTablosuKur();
        QObject::connect(&port, &serial::SerialPort::commEvent, [this] { intake.onPortEvent(); });
    }

    void feed(std::initializer_list<const char16_t *> chunks)
    {
        for (const char16_t *chunk : chunks)
            port.deliver(QString::fromUtf16(chunk));
    }

    test::FakeSerialPort port;
    link::KeyTable table;
    test::RecordingLog log;
    test::RecordingPrompt prompt;
    test::RecordingTarget target;
    test::RecordingInjector injector;
    link::OutputDelivery delivery{target, injector};
    CommandIntake intake{port, table, log, prompt, delivery};
};

TEST_F(Intake, CommandSplitOverSeveralReadsIsAnsweredOnceWhenComplete)
{
    feed({u"AT+CKPD=\"", u"222\""});
    EXPECT_TRUE(port.written.isEmpty());
    EXPECT_TRUE(log.entries.isEmpty());
    EXPECT_EQ(intake.buffer(), QStringLiteral("AT+CKPD=\"222\""));

    feed({u"\r"});
    EXPECT_EQ(port.written, kOk);
    EXPECT_EQ(log.entries, (QStringList{QStringLiteral("-> AT+CKPD=\"222\""), QStringLiteral("<- OK")}));
    EXPECT_EQ(log.selected, 0);
    EXPECT_EQ(prompt.text, kReady);
    EXPECT_EQ(target.text, QStringLiteral("C"));
    EXPECT_TRUE(intake.buffer().isEmpty());
}

TEST_F(Intake, CarriageReturnInTheSameReadAsTheCharactersBeforeItCompletesTheLine)
{
    feed({u"AT+CKPD=\"2", u"22\"\r"});
    EXPECT_EQ(port.written, kOk);
    EXPECT_EQ(target.text, QStringLiteral("C"));

    feed({u"AT+CKPD=\"33\"\r"});
    EXPECT_EQ(port.written, ok(2));
    EXPECT_EQ(target.text, QStringLiteral("CE"));
    EXPECT_TRUE(intake.buffer().isEmpty());
}

TEST_F(Intake, SeveralLinesInOneReadAreProcessedInOrder)
{
    feed({u"AT+CGMR\rAT+CKPD=\"44\"\rAT+CKPD=\"c\"\rAT+CKPD=\"9"});
    EXPECT_EQ(port.written, ok(3));
    EXPECT_EQ(log.entries,
              (QStringList{QStringLiteral("-> AT+CGMR"), QStringLiteral("<- OK"),
                           QStringLiteral("-> AT+CKPD=\"44\""), QStringLiteral("<- OK"),
                           QStringLiteral("-> AT+CKPD=\"c\""), QStringLiteral("<- OK")}));
    EXPECT_EQ(log.selected, 4);
    EXPECT_EQ(target.events.back(), QStringLiteral("backspace"));
    EXPECT_TRUE(target.text.isEmpty()) << "the clear key took the H back";
    EXPECT_EQ(intake.buffer(), QStringLiteral("AT+CKPD=\"9"));

    feed({u"99\"\r"});
    EXPECT_EQ(target.text, QStringLiteral("Y"));
}

TEST_F(Intake, LineFeedAfterTheCarriageReturnBelongsToTheTerminator)
{
    feed({u"AT+CKPD=\"222\"\r\nAT+CKPD=\"2\",20\r\n"});
    EXPECT_EQ(target.text, QStringLiteral("C2")) << "the line feed must not count as a press";
    EXPECT_EQ(port.written, ok(2));

    // Split between two reads, the line feed still belongs to the first line.
    feed({u"AT+CKPD=\"3\"\r", u"\nAT+CKPD=\"3\"\r"});
    EXPECT_EQ(target.text, QStringLiteral("C2DD"));
    EXPECT_EQ(log.entries.size(), 8);
    EXPECT_EQ(log.entries[6], QStringLiteral("-> AT+CKPD=\"3\""));
}

TEST_F(Intake, LoneCarriageReturnIsLoggedAndAnswered)
{
    feed({u"\r"});
    EXPECT_EQ(log.entries, (QStringList{QStringLiteral("-> "), QStringLiteral("<- OK")}));
    EXPECT_EQ(port.written, kOk);
    EXPECT_EQ(prompt.changes, 0);
    EXPECT_EQ(target.events, QStringList{});
    EXPECT_TRUE(injector.sent.isEmpty());
}

TEST_F(Intake, PromptsFollowTheAccessory)
{
    feed({u"AT+CGMR\r"});
    EXPECT_EQ(prompt.text, kSms);
    EXPECT_EQ(port.written, kOk) << "no revision text is sent";
    feed({u"AT+CKPD=\"2\"\r"});
    EXPECT_EQ(prompt.text, kReady);
    feed({u"AT+CGMR extra\r"});
    EXPECT_EQ(prompt.text, kSms) << "a revision query sets its prompt again";
    EXPECT_EQ(target.text, QStringLiteral("A"));
}

TEST_F(Intake, LinesMatchingNeitherPrefixAreLoggedAnsweredAndDropped)
{
    // A line feed that does not follow a carriage return is part of the line.
    const char16_t *lines[] = {u"\nAT+CKPD=\"222\"\r", u"at+ckpd=\"222\"\r", u" AT+CKPD=\"222\"\r",
                               u"AT+CKPD\"222\"\r", u"ATZ\r", u"AT+CGM\r"};
    int n = 0;
    for (const char16_t *line : lines) {
        port.deliver(QString::fromUtf16(line));
        ++n;
        EXPECT_EQ(port.written, ok(n)) << QString::fromUtf16(line).toStdString();
    }
    EXPECT_EQ(log.entries.size(), 2 * n);
    EXPECT_EQ(log.entries[0], QStringLiteral("-> \nAT+CKPD=\"222\""));
    EXPECT_EQ(prompt.changes, 0);
    EXPECT_EQ(target.focusRequests, 0);
    EXPECT_TRUE(target.text.isEmpty());
    EXPECT_TRUE(injector.sent.isEmpty());
}

TEST_F(Intake, KeypadCommandFocusesTheTextBoxBeforeDelivery)
{
    feed({u"AT+CKPD=\"2\"\r"});
    EXPECT_EQ(target.events, (QStringList{QStringLiteral("focus"), QStringLiteral("append A")}));
}

TEST_F(Intake, OtherEventsReadNothing)
{
    port.raiseOtherEvent(serial::CommEvent::LineError, QStringLiteral("AT+CGMR\r"));
    EXPECT_EQ(port.waiting(), QStringLiteral("AT+CGMR\r"));
    EXPECT_TRUE(port.written.isEmpty());
    EXPECT_TRUE(intake.buffer().isEmpty());

    // The next receive event reads what waited.
    feed({u""});
    EXPECT_EQ(port.written, kOk);
    EXPECT_EQ(prompt.text, kSms);
}

TEST_F(Intake, EmptyReadCompletesNothing)
{
    feed({u"AT+CGMR", u""});
    EXPECT_TRUE(port.written.isEmpty());
    EXPECT_EQ(intake.buffer(), QStringLiteral("AT+CGMR"));
}

TEST_F(Intake, MesajKontIsAnExactPrefixTest)
{
    feed({u"AT+CKP"});
    EXPECT_TRUE(intake.MesajKont(QString()));
    EXPECT_TRUE(intake.MesajKont(QStringLiteral("AT+CKP")));
    EXPECT_FALSE(intake.MesajKont(QStringLiteral("AT+CKPD=")));
    EXPECT_FALSE(intake.MesajKont(QStringLiteral("at+ckp")));
    EXPECT_FALSE(intake.MesajKont(QStringLiteral(" AT")));
}

TEST_F(Intake, OverlongPartialLineIsDiscardedAndReceivingGoesOn)
{
    const QString junk(CommandIntake::kMaxLineLength, u'x');
    port.deliver(junk);
    EXPECT_EQ(intake.buffer().size(), CommandIntake::kMaxLineLength) << "4096 characters still fit";
    port.deliver(QStringLiteral("yy"));
    EXPECT_TRUE(intake.buffer().isEmpty());
    port.deliver(junk + QStringLiteral("\rAT+CKPD=\"5\"\r"));
    EXPECT_EQ(port.written, kOk) << "the over-long line is dropped, the next one answered";
    EXPECT_EQ(log.entries, (QStringList{QStringLiteral("-> AT+CKPD=\"5\""), QStringLiteral("<- OK")}));
    EXPECT_EQ(target.text, QStringLiteral("J"));
}

TEST_F(Intake, LineOfExactlyTheLimitIsStillALine)
{
    const QString line = QStringLiteral("AT+CGMR") + QString(CommandIntake::kMaxLineLength - 7, u'.');
    port.deliver(line + u'\r');
    EXPECT_EQ(port.written, kOk);
    EXPECT_EQ(prompt.text, kSms);
}

TEST_F(Intake, LogKeepsTheNewestPairsAndSelectsTheNewestLine)
{
    const int lines = CommandIntake::kMaxLogEntries / 2 + 3;
    QString burst;
    for (int i = 0; i < lines; ++i)
        burst += QStringLiteral("L%1\r").arg(i);
    port.deliver(burst);
    ASSERT_EQ(log.entries.size(), CommandIntake::kMaxLogEntries);
    EXPECT_EQ(log.entries.front(), QStringLiteral("-> L3"));
    EXPECT_EQ(log.entries[log.entries.size() - 2], QStringLiteral("-> L%1").arg(lines - 1));
    EXPECT_EQ(log.selected, CommandIntake::kMaxLogEntries - 2);
    EXPECT_EQ(port.written.size(), 4 * lines);
}

TEST_F(Intake, AfterNLinesTheLogHoldsTwoNEntries)
{
    for (int i = 1; i <= 5; ++i) {
        port.deliver(QStringLiteral("AT+CKPD=\"1\"\r"));
        EXPECT_EQ(log.entries.size(), 2 * i);
        EXPECT_EQ(log.selected, 2 * i - 2);
    }
    EXPECT_EQ(target.text, QStringLiteral("     "));
}

TEST_F(Intake, ClearBufferForgetsAnUnfinishedLine)
{
    feed({u"AT+CKPD=\"22"});
    intake.clearBuffer();
    feed({u"AT+CKPD=\"3\"\r"});
    EXPECT_EQ(target.text, QStringLiteral("D"));
    EXPECT_EQ(log.entries.front(), QStringLiteral("-> AT+CKPD=\"3\""));
}

} // namespace
