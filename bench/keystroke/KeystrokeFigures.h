#pragma once

// Figures of the keystroke benchmarks: times per key, their median and 99th
// percentile, and a row beside the reference tool's.

#include "core/Key.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace tavlun {

inline long long nowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// The key that types the (one) character of `text`.
inline core::Key keyOf(const QString &text)
{
    return core::Key::character(char32_t(text.toUcs4().value(0)));
}

struct Figures {
    std::vector<double> micros; // one per key that arrived
    int wrong = 0;              // arrived as another character
    int missing = 0;            // did not arrive in time

    double percentile(double p) const
    {
        if (micros.empty())
            return NAN;
        std::vector<double> sorted = micros;
        std::sort(sorted.begin(), sorted.end());
        const auto rank = static_cast<std::size_t>(std::ceil(p * double(sorted.size())));
        return sorted[std::min(sorted.size() - 1, rank == 0 ? 0 : rank - 1)];
    }
    double median() const { return percentile(0.5); }
    double p99() const { return percentile(0.99); }
};

// Runs `inject` for each of `count` keys and waits up to `arrival` for each
// at the session's recorder before the next; `expected(i)` is the text of
// key i.
template <typename Session>
Figures perKey(Session &session, int count, const std::function<bool(int)> &inject,
               const std::function<QString(int)> &expected, std::chrono::milliseconds arrival)
{
    Figures f;
    for (int i = 0; i < count; ++i) {
        const long long start = nowNs();
        if (!inject(i)) {
            ++f.missing;
            continue;
        }
        const auto key = session.nextKey(arrival);
        if (!key) {
            ++f.missing;
            continue;
        }
        if (key->text != expected(i))
            ++f.wrong;
        f.micros.push_back(double(key->receivedNs - start) / 1000.0);
    }
    return f;
}

// The two heading lines of the rows below; `top` and `bottom` head the
// first column on each.
inline void printHeading(const char *reference, const char *top, const char *bottom)
{
    const std::string ratio = std::string("ours/") + reference;
    std::printf("%-34s %9s %9s   %9s %9s   %13s\n", top, "ours", "", reference, "", ratio.c_str());
    std::printf("%-34s %9s %9s   %9s %9s   %6s %6s\n", bottom, "median", "p99", "median", "p99",
                "median", "p99");
}

inline void printRow(const char *what, const Figures &ours, const Figures &xdotool, const char *reference)
{
    const auto problems = [](const Figures &f) {
        std::string s;
        if (f.wrong)
            s += " " + std::to_string(f.wrong) + " wrong";
        if (f.missing)
            s += " " + std::to_string(f.missing) + " missing";
        return s;
    };
    std::printf("%-34s %9.1f %9.1f   %9.1f %9.1f   %6.3f %6.3f%s%s\n", what, ours.median(), ours.p99(),
                xdotool.median(), xdotool.p99(), ours.median() / xdotool.median(),
                ours.p99() / xdotool.p99(),
                ours.wrong + ours.missing ? (" ours:" + problems(ours)).c_str() : "",
                xdotool.wrong + xdotool.missing ? (std::string(" ") + reference + ":" + problems(xdotool)).c_str() : "");
}

// Runs the Wayland half: the virtual keyboard beside wtype under headless sway.
int runWaylandBench();

} // namespace tavlun
