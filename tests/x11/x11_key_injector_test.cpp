#include "XSession.h"
#include "support/TypableCharacters.h"
#include "app/SystemKeystrokes.h"
#include "link/x11/X11KeyInjector.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace tavlun;
using std::chrono::milliseconds;

namespace {

constexpr milliseconds kArrival{10000};

struct ExpectedKey {
    QString keyString;
    unsigned long keysym;
    QString text; // empty: only the keysym is checked
};

QString describe(const ExpectedKey &key)
{
    if (key.keyString.size() != 1)
        return key.keyString;
    return QStringLiteral("U+%1 '%2'")
        .arg(key.keyString.front().unicode(), 4, 16, QLatin1Char('0'))
        .arg(key.keyString);
}

ExpectedKey character(char16_t c)
{
    const QString s(QChar{c});
    const unsigned long keysym = c <= 0xFF ? c : 0x01000000UL | c;
    return {s, keysym, s};
}

std::vector<ExpectedKey> typableCharacters()
{
    std::vector<ExpectedKey> keys;
    for (const QChar c : test::typableCharacters())
        keys.push_back(character(c.unicode()));
    return keys;
}

std::vector<ExpectedKey> specialKeys()
{
    return {{link::kBackspaceKey, XK_BackSpace, {}},
            {link::kEnterKey, XK_Return, {}},
            {link::kEscapeKey, XK_Escape, {}}};
}

// The symbols of every keycode, one string per keycode.
std::vector<std::string> keymapSnapshot(Display *display)
{
    std::vector<std::string> keys;
    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!xkb)
        return keys;
    for (int kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc) {
        std::string entry = std::to_string(kc) + ":";
        for (int group = 0; group < XkbKeyNumGroups(xkb, kc); ++group) {
            entry += " [type " + std::to_string(xkb->map->key_sym_map[kc].kt_index[group]);
            for (int level = 0; level < XkbKeyGroupWidth(xkb, kc, group); ++level) {
                char sym[24];
                std::snprintf(sym, sizeof sym, " %lx", XkbKeySymEntry(xkb, kc, level, group));
                entry += sym;
            }
            entry += "]";
        }
        keys.push_back(entry);
    }
    XkbFreeKeyboard(xkb, 0, True);
    return keys;
}

std::string keymapDifference(const std::vector<std::string> &before,
                             const std::vector<std::string> &after)
{
    if (before.size() != after.size())
        return "keycode range changed";
    std::string diff;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] != after[i])
            diff += "\n  before " + before[i] + "\n  after  " + after[i];
    }
    return diff;
}

std::vector<int> keysDown(Display *display)
{
    char bits[32] = {};
    XQueryKeymap(display, bits);
    std::vector<int> down;
    for (int kc = 0; kc < 256; ++kc) {
        if (bits[kc / 8] & (1 << (kc % 8)))
            down.push_back(kc);
    }
    return down;
}

XkbStateRec keyboardState(Display *display)
{
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    return state;
}

// Sets or clears an environment variable for the length of a scope.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value) : name_(name), had_(qEnvironmentVariableIsSet(name))
    {
        saved_ = qgetenv(name);
        if (value)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (had_)
            qputenv(name_, saved_);
        else
            qunsetenv(name_);
    }

private:
    const char *name_;
    bool had_;
    QByteArray saved_;
};

class X11Injection : public ::testing::Test {
protected:
    static void SetUpTestSuite() { session = new test::XSession(TAVLUN_KEY_RECORDER); }
    static void TearDownTestSuite()
    {
        delete session;
        session = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(session->ok()) << session->error();
        // Whatever an earlier test left, even after a failure: no key down,
        // no lock, no latch.
        for (int kc : keysDown(control()))
            XTestFakeKeyEvent(control(), static_cast<unsigned>(kc), False, CurrentTime);
        XkbLockModifiers(control(), XkbUseCoreKbd, 0xFF, 0);
        XkbLatchModifiers(control(), XkbUseCoreKbd, 0xFF, 0);
        XkbLockGroup(control(), XkbUseCoreKbd, 0);
        XSync(control(), False);
        ASSERT_TRUE(session->setLayout("us"));
    }

    static Display *control() { return session->control(); }

    static std::unique_ptr<link::X11KeyInjector> openInjector()
    {
        QString reason;
        auto injector = link::X11KeyInjector::open(QByteArray::fromStdString(session->displayName()),
                                                   &reason);
        EXPECT_TRUE(injector) << reason.toStdString();
        return injector;
    }

    // Presses (or releases) a key from the harness's own XTest connection.
    static void fakeKey(KeySym keysym, bool down)
    {
        XTestFakeKeyEvent(control(), XKeysymToKeycode(control(), keysym), down, CurrentTime);
        XSync(control(), False);
    }

    // Waits for the recorder to report the press of a key the harness made.
    static void expectPressOf(KeySym keysym)
    {
        const auto key = session->nextKey(kArrival);
        ASSERT_TRUE(key) << "no press of keysym 0x" << std::hex << keysym << " arrived";
        EXPECT_EQ(key->keysym, keysym) << key->line;
    }

    // Types the keys and returns what did not arrive as expected. Keys go in
    // batches no larger than the spare keycode pool, each awaited at the
    // recorder before the next: a binding is then never reused while the
    // client may still look up its key.
    static QStringList typeAndCompare(link::KeyInjector &injector, const std::vector<ExpectedKey> &keys)
    {
        QStringList problems;
        const std::size_t batch = link::X11KeyInjector::kSparePoolSize;
        for (std::size_t start = 0; start < keys.size(); start += batch) {
            std::vector<ExpectedKey> sent;
            for (std::size_t i = start; i < std::min(keys.size(), start + batch); ++i) {
                if (injector.sendKeys(keys[i].keyString))
                    sent.push_back(keys[i]);
                else
                    problems << describe(keys[i]) + QStringLiteral(": sendKeys returned false");
            }
            const auto arrived = session->waitForKeys(sent.size(), kArrival);
            for (std::size_t i = 0; i < sent.size(); ++i) {
                const ExpectedKey &want = sent[i];
                if (i >= arrived.size()) {
                    problems << describe(want) + QStringLiteral(": nothing arrived");
                    continue;
                }
                const test::RecordedKey &got = arrived[i];
                if (got.keysym != want.keysym || (!want.text.isEmpty() && got.text != want.text))
                    problems << QStringLiteral("%1: expected keysym 0x%2 text '%3', got keysym 0x%4 "
                                               "text '%5' (keycode %6, state 0x%7)")
                                    .arg(describe(want))
                                    .arg(want.keysym, 0, 16)
                                    .arg(want.text)
                                    .arg(got.keysym, 0, 16)
                                    .arg(got.text)
                                    .arg(got.keycode)
                                    .arg(got.state, 0, 16);
            }
        }
        return problems;
    }

    static test::XSession *session;
};

test::XSession *X11Injection::session = nullptr;

// What the user does to the keyboard while the accessory types.
enum class UserState { Nothing, HoldsShift, CapsLockOn };

class TypingUnderLayout
    : public X11Injection,
      public ::testing::WithParamInterface<std::tuple<const char *, UserState>> {};

TEST_P(TypingUnderLayout, EveryCharacterArrivesAsItselfAndTheKeyboardIsLeftAsItWas)
{
    const auto [layout, userState] = GetParam();
    ASSERT_TRUE(session->setLayout(layout));
    const auto keymapBefore = keymapSnapshot(control());
    ASSERT_FALSE(keymapBefore.empty());

    unsigned heldMods = 0;
    unsigned lockedMods = 0;
    if (userState == UserState::HoldsShift) {
        fakeKey(XK_Shift_L, true);
        expectPressOf(XK_Shift_L);
        heldMods = ShiftMask;
    } else if (userState == UserState::CapsLockOn) {
        fakeKey(XK_Caps_Lock, true);
        fakeKey(XK_Caps_Lock, false);
        expectPressOf(XK_Caps_Lock);
        lockedMods = LockMask;
    }
    ASSERT_EQ(keyboardState(control()).base_mods, heldMods);
    ASSERT_EQ(keyboardState(control()).locked_mods, lockedMods);

    {
        auto injector = openInjector();
        ASSERT_TRUE(injector);
        std::vector<ExpectedKey> keys = typableCharacters();
        const auto special = specialKeys();
        keys.insert(keys.end(), special.begin(), special.end());
        const QStringList problems = typeAndCompare(*injector, keys);
        EXPECT_TRUE(problems.isEmpty()) << problems.size() << " of " << keys.size()
                                        << " keys went wrong:\n"
                                        << problems.join(QLatin1Char('\n')).toStdString();

        const XkbStateRec state = keyboardState(control());
        EXPECT_EQ(state.base_mods, heldMods) << "the modifiers the user holds changed";
        EXPECT_EQ(state.locked_mods, lockedMods) << "the user's locks changed";
        EXPECT_EQ(state.latched_mods, 0u);
        EXPECT_EQ(state.group, 0u);
    }

    if (userState == UserState::HoldsShift) {
        fakeKey(XK_Shift_L, false);
    } else if (userState == UserState::CapsLockOn) {
        fakeKey(XK_Caps_Lock, true);
        fakeKey(XK_Caps_Lock, false);
        expectPressOf(XK_Caps_Lock);
    }
    const XkbStateRec state = keyboardState(control());
    EXPECT_EQ(state.mods, 0u) << "a modifier is still in force";
    EXPECT_EQ(state.locked_mods, 0u);
    EXPECT_EQ(state.group, 0u);
    EXPECT_TRUE(keysDown(control()).empty())
        << "keycode " << keysDown(control()).front() << " is still down";
    EXPECT_EQ(keymapDifference(keymapBefore, keymapSnapshot(control())), "")
        << "the keymap was not restored";
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, TypingUnderLayout,
    ::testing::Combine(::testing::Values("us", "tr", "de"),
                       ::testing::Values(UserState::Nothing, UserState::HoldsShift,
                                         UserState::CapsLockOn)),
    [](const ::testing::TestParamInfo<TypingUnderLayout::ParamType> &param) {
        const UserState state = std::get<1>(param.param);
        return std::string(std::get<0>(param.param))
            + (state == UserState::Nothing      ? "_Plain"
               : state == UserState::HoldsShift ? "_ShiftHeld"
                                                : "_CapsLockOn");
    });

TEST_F(X11Injection, LayoutSwitchBetweenTwoCharactersIsPickedUp)
{
    auto injector = openInjector();
    ASSERT_TRUE(injector);
    ASSERT_TRUE(injector->sendKeys(QStringLiteral("y")));
    const auto us = session->nextKey(kArrival);

    ASSERT_TRUE(session->setLayout("de"));
    ASSERT_TRUE(injector->sendKeys(QStringLiteral("y")));
    ASSERT_TRUE(injector->sendKeys(QStringLiteral("z")));
    const auto de = session->waitForKeys(2, kArrival);

    ASSERT_TRUE(us);
    ASSERT_EQ(de.size(), 2u);
    EXPECT_EQ(us->text, QStringLiteral("y")) << us->line;
    EXPECT_EQ(de[0].text, QStringLiteral("y")) << de[0].line;
    EXPECT_EQ(de[1].text, QStringLiteral("z")) << de[1].line;
    EXPECT_NE(us->keycode, de[0].keycode) << "y sits on another key under the German layout";
}

TEST_F(X11Injection, SpareKeycodeBindingsAreKeptWhileUsedAndDroppedWithTheirLayout)
{
    XkbSelectEvents(control(), XkbUseCoreKbd, XkbMapNotifyMask, XkbMapNotifyMask);
    int xkbEventBase = 0;
    ASSERT_TRUE(XkbQueryExtension(control(), nullptr, &xkbEventBase, nullptr, nullptr, nullptr));
    const auto countMapChanges = [&] {
        XSync(control(), False);
        int changes = 0;
        while (XPending(control()) > 0) {
            XEvent event;
            XNextEvent(control(), &event);
            if (event.type == xkbEventBase
                && reinterpret_cast<XkbEvent &>(event).any.xkb_type == XkbMapNotify)
                ++changes;
        }
        return changes;
    };
    countMapChanges();

    auto injector = openInjector();
    ASSERT_TRUE(injector);
    // No key of the US layout makes these: the first of each binds a
    // spare keycode, the rest must find it bound.
    const std::vector<ExpectedKey> once{character(u'\u00DF'), character(u'\u00E9'),
                                        character(u'\u20AC'), character(u'\u011F')};
    const std::vector<ExpectedKey> twice{character(u'\u00DF'), character(u'\u00E9'),
                                         character(u'\u00DF'), character(u'\u00E9')};
    QStringList problems = typeAndCompare(*injector, once);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
    EXPECT_GT(countMapChanges(), 0);
    problems = typeAndCompare(*injector, twice);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(countMapChanges(), 0) << "the keymap was rewritten for characters already bound";

    // More characters than the pool holds: bindings are reused.
    std::vector<ExpectedKey> many;
    for (char16_t c = 0xC0; c < 0xC0 + 3 * link::X11KeyInjector::kSparePoolSize; ++c)
        many.push_back(character(c));
    problems = typeAndCompare(*injector, many);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();

    // A new layout replaces every binding; ß now has a key of its own, and
    // the bindings of the old layout must not be written over the new map.
    ASSERT_TRUE(session->setLayout("de"));
    const auto german = keymapSnapshot(control());
    problems = typeAndCompare(*injector, twice);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
    injector.reset();
    EXPECT_EQ(keymapDifference(german, keymapSnapshot(control())), "");
}

TEST_F(X11Injection, LockedGroupAndLatchedModifiersDoNotChangeTheCharacter)
{
    ASSERT_TRUE(session->setLayout("us,de"));
    auto injector = openInjector();
    ASSERT_TRUE(injector);

    // German locked (group 2), Shift latched, as sticky keys would leave it.
    XkbLockGroup(control(), XkbUseCoreKbd, 1);
    XkbLatchModifiers(control(), XkbUseCoreKbd, ShiftMask, ShiftMask);
    XSync(control(), False);
    const std::vector<ExpectedKey> keys{character(u'y'), character(u'z'), character(u'@'),
                                        character(u'\u00E4'), character(u'Q'), character(u'/'),
                                        character(u'\u00E9')};
    const QStringList problems = typeAndCompare(*injector, keys);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();

    const XkbStateRec state = keyboardState(control());
    EXPECT_EQ(state.locked_group, 1u) << "the user's group lock was not put back";
    EXPECT_EQ(state.latched_mods, unsigned{ShiftMask}) << "the user's latch was not put back";
    XkbLatchModifiers(control(), XkbUseCoreKbd, ShiftMask, 0);
    XkbLockGroup(control(), XkbUseCoreKbd, 0);
    XSync(control(), False);
}

TEST_F(X11Injection, FactoryTypesThroughTheDisplayItFinds)
{
    ScopedEnv display("DISPLAY", session->displayName().c_str());
    ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    ScopedEnv sessionType("XDG_SESSION_TYPE", "x11");
    QString reason = QStringLiteral("stale");
    auto injector = keystrokes::createKeyInjector(&reason);
    EXPECT_TRUE(reason.isEmpty()) << reason.toStdString();
    ASSERT_TRUE(injector->sendKeys(QStringLiteral("\u00C7")));
    const auto key = session->nextKey(kArrival);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->text, QStringLiteral("\u00C7")) << key->line;
}

TEST(SystemKeyInjector, SaysWhyKeysCannotBeTyped)
{
    struct Case {
        const char *display;
        const char *wayland;
        QString expectedInReason;
    };
    const Case cases[] = {
        {nullptr, nullptr, QStringLiteral("DISPLAY")},
        {nullptr, "wayland-0", QStringLiteral("Wayland")},
        {":7711", nullptr, QStringLiteral("cannot open X display \":7711\"")},
    };
    for (const Case &c : cases) {
        ScopedEnv display("DISPLAY", c.display);
        ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
        ScopedEnv sessionType("XDG_SESSION_TYPE", nullptr);
        QString reason;
        auto injector = keystrokes::createKeyInjector(&reason);
        ASSERT_TRUE(injector);
        EXPECT_TRUE(reason.contains(c.expectedInReason))
            << "expected \"" << c.expectedInReason.toStdString() << "\" in \"" << reason.toStdString() << "\"";
        EXPECT_FALSE(injector->sendKeys(QStringLiteral("a")));
        EXPECT_FALSE(injector->sendKeys(link::kEnterKey));
    }
}

} // namespace
