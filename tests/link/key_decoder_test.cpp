#include "link/KeyDecoder.h"

#include <gtest/gtest.h>

using tavlun::link::KeyOutput;
using tavlun::link::KeyTable;
using tavlun::link::TusCoz;

namespace {

class KeyDecoder : public ::testing::Test {
protected:
    void SetUp() override { table.TusTablosuKur(); }

    // The completed line of a keypad command, carriage return included.
    KeyOutput decode(const QString &keys, bool longPress = false) const
    {
        QString line = QStringLiteral("AT+CKPD=\"") + keys + u'"';
        if (longPress)
            line += QStringLiteral(",20");
        return TusCoz(line + u'\r', table);
    }
    static KeyOutput token(const QString &text) { return {text, false}; }

    KeyTable table;
};

TEST_F(KeyDecoder, WorkedExamples)
{
    struct Case {
        const char16_t *keys;
        bool longPress;
        KeyOutput expected;
    };
    const Case cases[] = {
        {u"222", false, token(QStringLiteral("C"))},
        {u"2", true, token(QStringLiteral("2"))},
        {u"#", false, token(QStringLiteral("#"))},
        {u"##", false, token(QStringLiteral("*"))},
        {u"*", false, token(QStringLiteral("+"))},
        {u"#", true, token(QStringLiteral("#"))},
        {u"23", false, token(QStringLiteral("B"))},
        {u"22c", false, token(QStringLiteral("C"))},
        {u"1c44", false, token(QStringLiteral("H"))},
        {u"c", false, {QString(), true}},
        {u"c22", false, {QString(), true}},
        {u"s", false, token(QStringLiteral(" {Yes} "))},
        {u"e", false, token(QStringLiteral(" {No} "))},
        {u">", false, token(QStringLiteral(">"))},
        {u"<", false, token(QStringLiteral("<"))},
        {u"", false, token(QString(QChar(0)))},
    };
    for (const Case &c : cases) {
        const QString keys = QString::fromUtf16(c.keys);
        const KeyOutput out = decode(keys, c.longPress);
        EXPECT_EQ(out, c.expected) << "keys \"" << keys.toStdString() << "\" long press "
                                   << c.longPress << ": got token \"" << out.token.toStdString()
                                   << "\" clear " << out.clear;
    }
}

TEST_F(KeyDecoder, EveryFilledCellIsReachedByItsMultiTapSequence)
{
    for (int column = 0; column <= 10; ++column) {
        const QChar key = column == 10 ? QChar(u'#') : QChar(u'0' + column);
        for (int presses = 1; presses <= 17; ++presses) {
            const char16_t expected = table.at(column, presses);
            const QString keys(presses, key);
            EXPECT_EQ(decode(keys).token, QString(QChar(expected)))
                << "key " << column << " pressed " << presses << " times";
        }
    }
}

TEST_F(KeyDecoder, PressCountLimits)
{
    EXPECT_EQ(decode(QString(20, u'1')).token, QString(QChar(0))) << "20 presses: unfilled cell";
    EXPECT_EQ(decode(QString(21, u'1')), KeyOutput{}) << "21 presses: nothing";
    EXPECT_EQ(decode(QString(300, u'7')), KeyOutput{});
}

TEST_F(KeyDecoder, KeyLettersAreLowerCaseOnly)
{
    // "S", "C" and "E" are not the send, clear and end keys: they fall into
    // key column 0 like any other non-digit.
    EXPECT_EQ(decode(QStringLiteral("S")).token, QStringLiteral("+"));
    EXPECT_EQ(decode(QStringLiteral("C")).token, QStringLiteral("+"));
    EXPECT_EQ(decode(QStringLiteral("EE")).token, QStringLiteral("&"));
}

TEST_F(KeyDecoder, KeyTestsComeBeforeTheLongPress)
{
    EXPECT_EQ(decode(QStringLiteral("s"), true).token, QStringLiteral(" {Yes} "));
    EXPECT_EQ(decode(QStringLiteral("c"), true), (KeyOutput{QString(), true}));
    EXPECT_EQ(decode(QStringLiteral("*"), true).token, QStringLiteral("*"));
    EXPECT_EQ(decode(QStringLiteral("0"), true).token, QStringLiteral("0"));
}

TEST_F(KeyDecoder, ClearInSecondPlaceDropsTheFirstPressOnly)
{
    EXPECT_EQ(decode(QStringLiteral("7c777")).token, QStringLiteral("R"));
    EXPECT_EQ(decode(QStringLiteral("2c")).token, QString(QChar(0))) << "nothing left: key 0, count 0";
    // Only the second place counts: a later "c" is just another press.
    EXPECT_EQ(decode(QStringLiteral("33c")).token, QStringLiteral("F"));
}

TEST_F(KeyDecoder, ShortBuffersDecodeWithoutFault)
{
    const QString nul(QChar(0));
    EXPECT_EQ(TusCoz(QStringLiteral("AT+CKPD=\r"), table).token, nul);
    EXPECT_EQ(TusCoz(QStringLiteral("AT+CKPD=\"\r"), table).token, nul);
    EXPECT_EQ(TusCoz(QStringLiteral("AT+CKPD=\"2\r"), table).token, nul);
    EXPECT_EQ(TusCoz(QString(), table).token, nul);
    EXPECT_EQ(TusCoz(QStringLiteral("\r"), table).token, nul);
    // Without the closing quote the key sequence ends one character early.
    EXPECT_EQ(TusCoz(QStringLiteral("AT+CKPD=\"222\r"), table).token, QStringLiteral("B"));
}

TEST_F(KeyDecoder, LatinOneCharactersComeOutAsThemselves)
{
    EXPECT_EQ(decode(QStringLiteral("7777")).token, QStringLiteral("S"));
    EXPECT_EQ(decode(QStringLiteral("77777")).token, QStringLiteral("\u00DF"));
    EXPECT_EQ(decode(QStringLiteral("666666")).token, QStringLiteral("\u00D8"));
    EXPECT_EQ(decode(QStringLiteral("00000000")).token, QStringLiteral("\u00A3"));
}

TEST_F(KeyDecoder, SameTextGivesSameResult)
{
    const QString line = QStringLiteral("AT+CKPD=\"4444\"\r");
    EXPECT_EQ(TusCoz(line, table), TusCoz(line, table));
}

} // namespace
