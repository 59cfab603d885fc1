// Time from handing a key to the injector until the focused X client
// receives the key press, beside `xdotool type` of the same characters,
// measured in the same run against the same private Xvfb. The recorder
// client stamps each press with CLOCK_MONOTONIC on receipt; the clock is
// the same for both processes on one machine. Figures are printed, never
// judged.

#include "KeystrokeFigures.h"
#include "XSession.h"
#include "keystrokes/x11/KeyPlanner.h"
#include "keystrokes/x11/X11KeyInjector.h"

#include <QApplication>
#include <QString>

#include <X11/keysym.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace tavlun;
using std::chrono::milliseconds;

namespace {

constexpr int kKeys = 200;
constexpr int kStrings = 10;
constexpr milliseconds kArrival{3000};

class Bench {
public:
    explicit Bench(test::XSession &session) : session_(session) {}

    Figures perKey(int count, const std::function<bool(int)> &inject,
                   const std::function<QString(int)> &expected)
    {
        return tavlun::perKey(session_, count, inject, expected, kArrival);
    }

    // Time per character for whole strings: from the start of the
    // injection to the last press of the string, divided by its length.
    Figures perString(const QString &text, const std::function<bool()> &inject)
    {
        Figures f;
        for (int round = 0; round < kStrings; ++round) {
            const long long start = nowNs();
            if (!inject()) {
                ++f.missing;
                continue;
            }
            const auto keys = session_.waitForKeys(static_cast<std::size_t>(text.size()), kArrival);
            if (keys.size() != static_cast<std::size_t>(text.size())) {
                f.missing += int(text.size()) - int(keys.size());
                continue;
            }
            for (std::size_t i = 0; i < keys.size(); ++i) {
                if (keys[i].text != text.at(static_cast<qsizetype>(i)))
                    ++f.wrong;
            }
            f.micros.push_back(double(keys.back().receivedNs - start) / 1000.0 / double(text.size()));
        }
        return f;
    }

    bool xdotoolType(const QString &text)
    {
        return session_.run({"xdotool", "type", "--delay", "0", text.toStdString()}, milliseconds(10000));
    }

private:
    test::XSession &session_;
};

} // namespace

namespace tavlun {
// The program's own path from a line at the port to the key: line_bench.cpp.
int runLineBench(test::XSession &session, keystrokes::KeyInjector &injector);
} // namespace tavlun

int main(int argc, char **argv)
{
    // The program's window, for the line's way to the key, is never shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "wayland")
        return runWaylandBench();
    test::XSession session(TAVLUN_KEY_RECORDER);
    if (!session.ok()) {
        std::fprintf(stderr, "keystroke_bench: %s\n", session.error().c_str());
        return 1;
    }
    if (!session.setLayout("us")) {
        std::fprintf(stderr, "keystroke_bench: setxkbmap us failed\n");
        return 1;
    }
    QString reason;
    auto injector = keystrokes::openX11KeyInjector(QByteArray::fromStdString(session.displayName()), &reason);
    if (!injector) {
        std::fprintf(stderr, "keystroke_bench: %s\n", qPrintable(reason));
        return 1;
    }
    Bench bench(session);

    const QString a = QStringLiteral("a");
    const QString sharpS = QStringLiteral("\u00DF");
    const QString pound = QStringLiteral("\u00A3");
    // More characters off the layout than the spare pool holds, in turn:
    // every key rebinds a keycode.
    QString rotating;
    for (char16_t c = 0xC0; c < 0xC0 + 2 * keystrokes::KeyPlanner::kSparePoolSize; ++c)
        rotating += QChar(c);
    const QString sentence = QStringLiteral("the quick brown fox jumps over the lazy dog again ");
    const QString latin1 = QStringLiteral("\u00DF\u00E7\u00F6\u00FC\u00E9\u00E8\u00E2\u00F1\u00E5\u00E6").repeated(5);

    // Warm-up: the first press of a character off the layout binds it.
    for (const QString &c : {a, sharpS, pound}) {
        injector->type(keyOf(c));
        session.nextKey(kArrival);
    }

    const auto single = [&](const QString &c) { return [c](int) { return c; }; };
    const auto ours = [&](const QString &c) { return [&injector, c](int) { return injector->type(keyOf(c)); }; };
    const auto xdo = [&](const QString &c) { return [&bench, c](int) { return bench.xdotoolType(c); }; };

    std::printf("Keystroke latency, injection to KeyPress at the X client (Xvfb, us layout), "
                "microseconds; %d keys per row, each awaited before the next.\n"
                "xdotool: `xdotool type --delay 0 <text>`, its process start included.\n\n",
                kKeys);
    printHeading("xdotool", "", "case");

    for (const auto &[label, c] : {std::pair{"'a' (on the layout)", a},
                                   std::pair{"U+00DF sharp s (spare keycode)", sharpS},
                                   std::pair{"U+00A3 pound (spare keycode)", pound}}) {
        const Figures o = bench.perKey(kKeys, ours(c), single(c));
        const Figures x = bench.perKey(kKeys, xdo(c), single(c));
        printRow(label, o, x, "xdotool");
    }
    {
        const auto nth = [&](int i) { return QString(rotating.at(i % rotating.size())); };
        const Figures o = bench.perKey(
            kKeys, [&](int i) { return injector->type(keyOf(nth(i))); }, nth);
        const Figures x = bench.perKey(kKeys, [&](int i) { return bench.xdotoolType(nth(i)); }, nth);
        const std::string label = std::to_string(rotating.size()) + " chars off layout, in turn";
        printRow(label.c_str(), o, x, "xdotool");
    }

    std::printf("\nPer character of 50-character strings, no wait between characters (%d strings; "
                "ours: one key typed per character):\n",
                kStrings);
    for (const auto &[label, text] : {std::pair{"ASCII sentence", sentence},
                                      std::pair{"10 Latin-1 letters off layout x5", latin1}}) {
        const Figures o = bench.perString(text, [&, text = text] {
            bool sent = true;
            for (const QChar c : text)
                sent = injector->type(keyOf(QString(c))) && sent;
            return sent;
        });
        const Figures x = bench.perString(text, [&, text = text] { return bench.xdotoolType(text); });
        printRow(label, o, x, "xdotool");
    }
    return runLineBench(session, *injector);
}
