#include "link/OutputDelivery.h"
#include "support/Recorders.h"

#include <gtest/gtest.h>

using namespace tavlun;

namespace {

class Delivery : public ::testing::Test {
protected:
    test::RecordingTarget target;
    test::RecordingInjector injector;
    link::OutputDelivery delivery{target, injector};
};

TEST_F(Delivery, NormalStateAppendsTokensAsPlainText)
{
    target.text = QStringLiteral("AB");
    for (const QString &token : {QStringLiteral("C"), QStringLiteral(" {Yes} "),
                                 QStringLiteral(" {No} "), QStringLiteral(">"),
                                 QStringLiteral("<"), QStringLiteral("\u00C7")})
        delivery.CiktiGonder(token, false);
    EXPECT_EQ(target.text, QStringLiteral("ABC {Yes}  {No} ><\u00C7"));
    EXPECT_TRUE(injector.sent.isEmpty()) << "no key may be typed in the normal state";
}

TEST_F(Delivery, OtherStatesTypeKeyStrings)
{
    target.normal = false;
    for (const QString &token : {QStringLiteral("C"), QStringLiteral(" {Yes} "),
                                 QStringLiteral(" {No} "), QStringLiteral(">"),
                                 QStringLiteral("+"), QStringLiteral("\u00DF"),
                                 QStringLiteral("{")})
        delivery.CiktiGonder(token, false);
    EXPECT_EQ(injector.sent,
              (QStringList{QStringLiteral("C"), QStringLiteral("{ENTER}"), QStringLiteral("{ESC}"),
                           QStringLiteral(">"), QStringLiteral("+"), QStringLiteral("\u00DF"),
                           QStringLiteral("{")}));
    EXPECT_TRUE(target.text.isEmpty());
}

TEST_F(Delivery, MarkersAreComparedExactly)
{
    target.normal = false;
    delivery.CiktiGonder(QStringLiteral("{Yes}"), false);
    delivery.CiktiGonder(QStringLiteral(" {yes} "), false);
    EXPECT_EQ(injector.sent, (QStringList{QStringLiteral("{Yes}"), QStringLiteral(" {yes} ")}));
}

TEST_F(Delivery, ClearFlagIsOneBackspaceWhereTheKeysGo)
{
    // Normal: in the text box itself, whichever application has the focus.
    target.text = QStringLiteral("AB");
    delivery.CiktiGonder(QString(), true);
    EXPECT_EQ(target.events, QStringList{QStringLiteral("backspace")});
    EXPECT_EQ(target.text, QStringLiteral("A"));
    EXPECT_TRUE(injector.sent.isEmpty()) << "no Backspace may reach another application";

    // Minimised: typed into the focused application.
    target.normal = false;
    delivery.CiktiGonder(QString(), true);
    EXPECT_EQ(injector.sent, QStringList{QStringLiteral("{BACKSPACE}")});
    EXPECT_EQ(target.text, QStringLiteral("A"));
}

TEST_F(Delivery, BackspaceComesBeforeTheTokenAndFailureDoesNotStopIt)
{
    target.normal = false;
    injector.succeed = false;
    delivery.CiktiGonder(QStringLiteral("A"), true);
    EXPECT_EQ(injector.sent, (QStringList{QStringLiteral("{BACKSPACE}"), QStringLiteral("A")}));
}

TEST_F(Delivery, EmptyTokenTouchesNothing)
{
    delivery.CiktiGonder(QString(), false);
    EXPECT_EQ(target.stateQueries, 0) << "the window state is not even read";
    EXPECT_TRUE(target.events.isEmpty());
    EXPECT_TRUE(injector.sent.isEmpty());
}

TEST_F(Delivery, ControlCharactersAreNeverDelivered)
{
    for (bool normal : {true, false}) {
        target.normal = normal;
        for (char16_t c : {char16_t(0), char16_t(1), char16_t(8), char16_t(9), char16_t(10),
                           char16_t(13), char16_t(27), char16_t(0x7F), char16_t(0x85), char16_t(0x9F)})
            delivery.CiktiGonder(QString(QChar(c)), false);
    }
    EXPECT_TRUE(target.text.isEmpty());
    EXPECT_TRUE(injector.sent.isEmpty());

    // The first printable characters on either side still go through.
    delivery.CiktiGonder(QStringLiteral(" "), false);
    delivery.CiktiGonder(QStringLiteral("\u00A0"), false);
    EXPECT_EQ(injector.sent.size(), 2);
}

TEST_F(Delivery, FocusStepOnlyInTheNormalState)
{
    delivery.focusStep();
    EXPECT_EQ(target.focusRequests, 1);
    target.normal = false;
    delivery.focusStep();
    EXPECT_EQ(target.focusRequests, 1);
}

} // namespace
