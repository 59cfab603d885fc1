// tavlun-accessory: plays the keyboard accessory against a program that
// plays the phone, over a serial device or a pseudo-terminal.

#include "Dialogue.h"
#include "KeyEncoder.h"
#include "Options.h"
#include "Port.h"
#include "Typing.h"

#include "tavlun/version.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

using namespace tavlun::accessory;
using namespace std::chrono_literals;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNoAnswer = 1;
constexpr int kExitUsage = 2;

void say(const std::string &message)
{
    std::fprintf(stderr, "tavlun-accessory: %s\n", message.c_str());
}

double milliseconds(std::chrono::nanoseconds duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// What went wrong with an exchange, for the messages.
std::string failure(const Exchange &result, std::chrono::milliseconds timeout)
{
    const std::string limit = std::to_string(timeout.count()) + " ms";
    switch (result.outcome) {
    case Outcome::Answered:
        break;
    case Outcome::TimedOut:
        return "no answer within " + limit;
    case Outcome::Blocked:
        return "the line took no bytes for " + limit;
    case Outcome::HungUp:
        return "the line hung up (" + result.detail + ")";
    case Outcome::Failed:
        return "the line failed (" + result.detail + ")";
    }
    return {};
}

// Sends the commands and keeps the figures of the run.
class Accessory {
public:
    Accessory(const Options &options, Port &port)
        : options_(options), port_(port),
          dialogue_(port.fd(), options.shape, options.trace ? stderr : nullptr)
    {
    }

    // AT+CGMR until it is answered. False when the run cannot go on.
    bool greet();
    // Types one input line. False when the run cannot go on.
    bool typeInputLine(const std::string &text);
    void printSummary() const;
    int exitStatus() const { return unanswered_ > 0 ? kExitNoAnswer : kExitOk; }

private:
    // One keypad command; `what` says where in the input it came from.
    bool send(const std::string &command, const std::string &what);
    void waitForPeer();

    const Options &options_;
    Port &port_;
    Dialogue dialogue_;
    KeyEncoder encoder_;
    int commands_ = 0;
    int inputLines_ = 0;
    int unanswered_ = 0;
    std::vector<std::chrono::nanoseconds> roundTrips_; // keypad commands only
};

void Accessory::waitForPeer()
{
    port_.releaseDevice();
    if (port_.peerPresent())
        return;
    say("waiting for a program to open " + port_.path());
    // Nothing signals an open of the other side; look every few
    // milliseconds.
    while (!port_.peerPresent())
        std::this_thread::sleep_for(10ms);
}

bool Accessory::greet()
{
    const std::chrono::milliseconds timeout = options_.helloTimeout.value_or(options_.timeout);
    for (;;) {
        if (options_.waitForPeer)
            waitForPeer();
        const Exchange result = dialogue_.exchange("AT+CGMR", timeout);
        ++commands_;
        if (result.outcome == Outcome::Answered) {
            if (options_.rtt)
                std::printf("rtt command %d AT+CGMR %.3f ms\n", commands_,
                            milliseconds(result.roundTrip));
            std::fflush(stdout);
            return true;
        }
        if (result.outcome == Outcome::HungUp && options_.waitForPeer) {
            say("the other side closed " + port_.path()
                + " without answering AT+CGMR; waiting for it to open again");
            continue;
        }
        say(failure(result, timeout) + " at command " + std::to_string(commands_)
            + ", AT+CGMR; nothing typed");
        ++unanswered_;
        return false;
    }
}

bool Accessory::send(const std::string &command, const std::string &what)
{
    const std::chrono::milliseconds timeout = options_.timeout;
    const Exchange result = dialogue_.exchange(command, timeout);
    ++commands_;
    const std::string name =
        "command " + std::to_string(commands_) + ", " + command + " (" + what + ")";
    switch (result.outcome) {
    case Outcome::Answered:
        if (options_.rtt) {
            std::printf("rtt command %d %s %.3f ms\n", commands_, command.c_str(),
                        milliseconds(result.roundTrip));
            std::fflush(stdout);
        }
        roundTrips_.push_back(result.roundTrip);
        return true;
    case Outcome::TimedOut:
        ++unanswered_;
        say(failure(result, timeout) + " at " + name + (options_.keepGoing ? "; going on" : ""));
        return options_.keepGoing;
    case Outcome::HungUp:
        ++unanswered_;
        if (options_.waitForPeer && options_.keepGoing) {
            // The program disconnected: wait until it opens the port again,
            // greet it as at the start, and send the key once more.
            say("the other side closed " + port_.path() + " at " + name
                + "; waiting for it to open again");
            return greet() && send(command, what);
        }
        say(failure(result, timeout) + " at " + name);
        return false;
    case Outcome::Blocked:
    case Outcome::Failed:
        ++unanswered_;
        say(failure(result, timeout) + " at " + name);
        return false;
    }
    return false;
}

bool Accessory::typeInputLine(const std::string &text)
{
    ++inputLines_;
    const std::string line = "input line " + std::to_string(inputLines_);
    const TypedLine typed = typeLine(text, encoder_);
    for (const SkippedInput &skipped : typed.skipped)
        say(line + ", position " + std::to_string(skipped.position) + ": " + skipped.source + " "
            + skipped.reason + "; skipped");
    for (const Keystroke &key : typed.keys) {
        const std::string what = line + ", position " + std::to_string(key.position) + ": "
            + (key.source.front() == '{' ? key.source : "\"" + key.source + "\"");
        if (!send(key.command, what))
            return false;
    }
    if (options_.enterPerLine)
        return send(std::string(KeyEncoder::encode(SpecialKey::Send)), "end of " + line);
    return true;
}

void Accessory::printSummary() const
{
    if (!options_.rtt)
        return;
    if (roundTrips_.empty()) {
        std::printf("rtt summary: no keypad command answered\n");
        std::fflush(stdout);
        return;
    }
    std::vector<std::chrono::nanoseconds> sorted = roundTrips_;
    std::sort(sorted.begin(), sorted.end());
    // Nearest rank: the smallest value with at least p of the samples at or
    // below it.
    const auto rank = [&](double p) {
        const auto index = static_cast<std::size_t>(
            std::max(1.0, std::ceil(p * static_cast<double>(sorted.size()))));
        return sorted[index - 1];
    };
    std::printf("rtt summary: %zu keypad commands, median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                sorted.size(), milliseconds(rank(0.5)), milliseconds(rank(0.99)),
                milliseconds(sorted.back()));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    const ParsedCommandLine parsed = parseCommandLine(argc, argv);
    switch (parsed.action) {
    case ParsedCommandLine::Action::Help:
        std::fputs(usageText(), stdout);
        return kExitOk;
    case ParsedCommandLine::Action::Version:
        std::printf("tavlun-accessory %s\n", tavlun::kVersionString);
        return kExitOk;
    case ParsedCommandLine::Action::Error:
        say(parsed.error);
        std::fputs("Try 'tavlun-accessory --help'.\n", stderr);
        return kExitUsage;
    case ParsedCommandLine::Action::Run:
        break;
    }
    const Options &options = parsed.options;

    // A reader of our output that goes away, or a line that hangs up,
    // shows as a failed write, not as a signal.
    std::signal(SIGPIPE, SIG_IGN);

    std::string error;
    Port port = options.pty ? Port::openPty(error) : Port::openDevice(options.device, error);
    if (!port.valid()) {
        say(error);
        return kExitUsage;
    }
    if (options.pty) {
        std::printf("device: %s\n", port.path().c_str());
        std::fflush(stdout);
    }

    Accessory accessory(options, port);
    if (!accessory.greet())
        return kExitNoAnswer;

    bool going = true;
    if (!options.text.empty()) {
        std::string text = options.text.front();
        for (std::size_t i = 1; i < options.text.size(); ++i)
            text += ' ' + options.text[i];
        going = accessory.typeInputLine(text);
    } else {
        std::string line;
        while (going && std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            going = accessory.typeInputLine(line);
        }
    }
    accessory.printSummary();
    return going ? accessory.exitStatus() : kExitNoAnswer;
}
