#include "SwaySession.h"
#include "support/TypableCharacters.h"
#include "link/wayland/WaylandKeyInjector.h"
#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QStringList>

#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon-keysyms.h>

using namespace tavlun;
using std::chrono::milliseconds;

namespace {

constexpr milliseconds kArrival{15000};

struct ExpectedKey {
    QString keyString;
    unsigned long keysym;
    QString text; // empty: only the keysym is checked
};

QString describe(const QString &keyString)
{
    if (keyString.size() != 1)
        return keyString;
    return QStringLiteral("U+%1 '%2'").arg(keyString.front().unicode(), 4, 16, QLatin1Char('0')).arg(keyString);
}

std::vector<ExpectedKey> charactersAndKeys(const QString &characters)
{
    std::vector<ExpectedKey> keys;
    for (const QChar c : characters)
        keys.push_back({QString(c), 0, QString(c)});
    keys.push_back({link::kEnterKey, XKB_KEY_Return, {}});
    keys.push_back({link::kBackspaceKey, XKB_KEY_BackSpace, {}});
    keys.push_back({link::kEscapeKey, XKB_KEY_Escape, {}});
    return keys;
}

// Sends every key without waiting, then compares what wev reports, in order.
QStringList typeAndCompare(test::SwaySession &session, link::KeyInjector &injector,
                           const std::vector<ExpectedKey> &keys)
{
    QStringList problems;
    std::vector<ExpectedKey> sent;
    for (const ExpectedKey &key : keys) {
        if (injector.sendKeys(key.keyString))
            sent.push_back(key);
        else
            problems << describe(key.keyString) + QStringLiteral(": sendKeys returned false");
    }
    const auto arrived = session.waitForKeys(sent.size(), kArrival);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const ExpectedKey &want = sent[i];
        if (i >= arrived.size()) {
            problems << describe(want.keyString) + QStringLiteral(": nothing arrived");
            continue;
        }
        const test::WevKey &got = arrived[i];
        const bool right = want.text.isEmpty() ? got.keysym == want.keysym : got.text == want.text;
        if (!right)
            problems << QStringLiteral("%1: got keysym 0x%2 text '%3' (%4)")
                            .arg(describe(want.keyString))
                            .arg(got.keysym, 0, 16)
                            .arg(got.text, QString::fromStdString(got.line));
    }
    return problems;
}

std::unique_ptr<link::WaylandKeyInjector> openInjector(const test::SwaySession &session)
{
    link::WaylandKeyInjector::Failure failure{};
    QString reason;
    auto injector = link::WaylandKeyInjector::open(QByteArray::fromStdString(session.socketPath()), &failure,
                                                   &reason);
    EXPECT_TRUE(injector) << reason.toStdString();
    return injector;
}

class TypingUnderLayout : public ::testing::TestWithParam<const char *> {};

TEST_P(TypingUnderLayout, EveryCharacterArrivesAsItselfInOrderAndNothingStaysDown)
{
    test::SwaySession session({GetParam(), false});
    ASSERT_TRUE(session.ok()) << session.error();
    ASSERT_TRUE(session.startRecorder());
    auto injector = openInjector(session);
    ASSERT_TRUE(injector);
    ASSERT_TRUE(session.waitForKeyboardFocus(kArrival)) << "wev never got the keyboard focus";

    // The key table, Latin-1, and letters no Latin-1 layout holds: more
    // characters than the keymap's pool, so keys are rebound on the way.
    const QString characters = test::typableCharacters() + QStringLiteral("€ğşıİĞŞ");
    const auto keys = charactersAndKeys(characters);
    QStringList problems = typeAndCompare(session, *injector, keys);
    EXPECT_TRUE(problems.isEmpty()) << problems.size() << " of " << keys.size() << " keys went wrong:\n"
                                    << problems.join(QLatin1Char('\n')).toStdString();

    // Characters the keymap holds are typed without sending it again.
    const int keymaps = session.keymapsSeen();
    problems = typeAndCompare(session, *injector, charactersAndKeys(characters.right(20)));
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(session.keymapsSeen(), keymaps) << "the keymap was sent again for characters it holds";

    const int presses = int(keys.size()) + 23;
    EXPECT_TRUE(session.waitForReleases(presses, kArrival))
        << session.releasesSeen() << " releases for " << presses << " presses";
    EXPECT_EQ(session.lastModifiers(), 0u) << "a modifier is in force at the client";
}

INSTANTIATE_TEST_SUITE_P(Layouts, TypingUnderLayout, ::testing::Values("us", "de", "tr"));

TEST(VirtualKeyboard, OnlyOneKeyAtATimeAndTheCompositorGoingAwayIsToldOnce)
{
    test::SwaySession session({"us", false});
    ASSERT_TRUE(session.ok()) << session.error();
    ASSERT_TRUE(session.startRecorder());
    auto injector = openInjector(session);
    ASSERT_TRUE(injector);
    QStringList told;
    injector->onProblem = [&told](const QString &problem) { told << problem; };
    ASSERT_TRUE(session.waitForKeyboardFocus(kArrival));
    for (const QString &keyString :
         {QString(), QStringLiteral("ab"), QStringLiteral("{TAB}"), QStringLiteral("{enter}"),
          QStringLiteral(" {Yes} "), QString(QChar(u'\0')), QStringLiteral("\n"), QStringLiteral("\u0085"),
          QString(QChar(0xD83D))})
        EXPECT_FALSE(injector->sendKeys(keyString)) << describe(keyString).toStdString();
    // Nothing of those arrives; a character beyond the Basic Multilingual
    // Plane is one character.
    const QStringList problems = typeAndCompare(session, *injector, {{QStringLiteral("\U0001F600"), 0,
                                                                      QStringLiteral("\U0001F600")}});
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();

    session.stopCompositor();
    // The loss shows at the latest when the next keys cannot be written.
    const bool failed = test::waitFor([&] { return !injector->sendKeys(QStringLiteral("\u011F")); });
    EXPECT_TRUE(failed) << "sendKeys still reports success with the compositor gone";
    for (const QString &key : {QStringLiteral("b"), link::kEnterKey, QStringLiteral("\u20AC")})
        EXPECT_FALSE(injector->sendKeys(key)) << describe(key).toStdString();
    ASSERT_EQ(told.size(), 1) << told.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(told.front().contains(QStringLiteral("Restart Tavlun"))) << told.front().toStdString();
}

TEST(VirtualKeyboard, XTestIntoXWaylandReachesNoWaylandClient)
{
    test::SwaySession session({"us", true});
    ASSERT_TRUE(session.ok()) << session.error();
    ASSERT_TRUE(session.startRecorder());
    auto injector = openInjector(session);
    ASSERT_TRUE(injector);
    ASSERT_TRUE(session.waitForKeyboardFocus(kArrival));

    // XTest reports success, and the native client gets nothing: the key
    // that arrives first is the one typed through the virtual keyboard.
    EXPECT_EQ(session.run({"xdotool", "type", "x"}, kArrival), std::optional<int>(0));
    ASSERT_TRUE(injector->sendKeys(QStringLiteral("m")));
    const auto key = session.nextKey(kArrival);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->text, QStringLiteral("m")) << key->line;
}

} // namespace
