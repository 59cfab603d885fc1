// Time from handing a key to the Wayland virtual keyboard until wev, the
// focused Wayland client, reports the key press, beside `wtype` typing the
// same characters, in the same run against the same headless sway. The
// harness stamps each press with CLOCK_MONOTONIC when it reads wev's line,
// for both alike. Figures are printed, never judged.

#include "KeystrokeFigures.h"
#include "SwaySession.h"
#include "keystrokes/wayland/VirtualKeymap.h"
#include "keystrokes/wayland/WaylandKeyInjector.h"

#include <QString>

#include <functional>

namespace tavlun {

namespace {

constexpr int kKeys = 200;
constexpr std::chrono::milliseconds kArrival{5000};

Figures perKey(test::SwaySession &session, int count, const std::function<bool(int)> &inject,
               const std::function<QString(int)> &expected)
{
    return tavlun::perKey(session, count, inject, expected, kArrival);
}

} // namespace

int runWaylandBench()
{
    test::SwaySession session({"us", false});
    if (!session.ok() || !session.startRecorder()) {
        std::fprintf(stderr, "keystroke_bench: %s\n", session.ok() ? "cannot start wev" : session.error().c_str());
        return 1;
    }
    QString reason;
    auto injector = keystrokes::openWaylandKeyInjector(QByteArray::fromStdString(session.socketPath()), &reason);
    if (!injector || !session.waitForKeyboardFocus(kArrival)) {
        std::fprintf(stderr, "keystroke_bench: %s\n", injector ? "wev got no keyboard focus" : qPrintable(reason));
        return 1;
    }

    const QString a = QStringLiteral("a");
    const QString euro = QStringLiteral("\u20AC");
    const QString gBreve = QStringLiteral("\u011F");
    // More characters than the keymap's pool holds, in turn: every key
    // sends a new keymap.
    QString rotating;
    for (char16_t c = 0x100; c < 0x100 + keystrokes::VirtualKeymap::kPoolSize + 16; ++c)
        rotating += QChar(c);

    for (const QString &c : {a, euro, gBreve}) {
        injector->type(keyOf(c));
        session.nextKey(kArrival);
    }
    const auto single = [](const QString &c) { return [c](int) { return c; }; };
    const auto ours = [&](const QString &c) { return [&injector, c](int) { return injector->type(keyOf(c)); }; };
    const auto wtype = [&](const QString &c) {
        return [&session, c](int) { return session.run({"wtype", c.toStdString()}, kArrival) == 0; };
    };

    std::printf("Keystroke latency, injection to the key press at a Wayland client (headless sway, wev, "
                "us layout), microseconds; %d keys per row, each awaited before the next.\n"
                "wtype: `wtype <char>`, its process start and its own keymap included.\n\n",
                kKeys);
    printHeading("wtype", "case", "");
    for (const auto &[label, c] : {std::pair{"'a'", a}, std::pair{"U+20AC euro", euro},
                                   std::pair{"U+011F g breve", gBreve}}) {
        const Figures o = perKey(session, kKeys, ours(c), single(c));
        const Figures w = perKey(session, kKeys, wtype(c), single(c));
        printRow(label, o, w, "wtype");
    }
    {
        const auto nth = [&](int i) { return QString(rotating.at(i % rotating.size())); };
        const Figures o = perKey(session, kKeys, [&](int i) { return injector->type(keyOf(nth(i))); }, nth);
        const Figures w = perKey(session, kKeys, [&](int i) { return session.run({"wtype", nth(i).toStdString()}, kArrival) == 0; }, nth);
        const std::string label = std::to_string(rotating.size()) + " chars, a new keymap each";
        printRow(label.c_str(), o, w, "wtype");
    }
    // wtype's rows include starting a process as the compositor's user;
    // what that alone costs on this machine, now:
    Figures start;
    for (int i = 0; i < 50; ++i) {
        const long long t0 = nowNs();
        if (session.run({"true"}, kArrival) == 0)
            start.micros.push_back(double(nowNs() - t0) / 1000.0);
    }
    std::printf("\nStarting `true` the way wtype is started: median %.1f, p99 %.1f microseconds.\n",
                start.median(), start.p99());
    return 0;
}

} // namespace tavlun
