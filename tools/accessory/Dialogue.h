#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tavlun::accessory {

// How one command line goes out: in pieces of `chunk` bytes (0: all at
// once) with `pause` between two writes, and the carriage return either
// with the last piece or as a write of its own.
struct WriteShape {
    std::size_t chunk = 0;
    std::chrono::milliseconds pause{0};
    bool separateCr = false;
};

// The writes of one command line, carriage return included.
std::vector<std::string> splitWrites(std::string_view command, const WriteShape &shape);

// Watches the received bytes for the answer "OK" CR LF. Anything else is
// ignored, and the answer may arrive split over any number of reads.
class AnswerScanner {
public:
    // True once the bytes fed since the last reset complete an answer.
    bool feed(std::string_view bytes);
    void reset() { seen_.clear(); }

private:
    std::string seen_; // no more than the last bytes that could begin an answer
};

enum class Outcome {
    Answered,
    TimedOut,    // no answer in time
    Blocked,     // the line took no more bytes in time
    HungUp,      // the other side closed the line
    Failed,      // any other error of the line
};

struct Exchange {
    Outcome outcome = Outcome::Failed;
    // From the write that carried the carriage return to the read that
    // completed the answer.
    std::chrono::nanoseconds roundTrip{0};
    std::string detail; // what went wrong, for the message
};

// Sends command lines and waits for their answers, one at a time.
class Dialogue {
public:
    // trace: where each write and read is logged, or nullptr.
    Dialogue(int fd, WriteShape shape, std::FILE *trace);

    // Writes the command and its carriage return, then waits for the
    // answer. Bytes that arrived before the command are dropped first. A
    // timeout of zero waits without limit.
    Exchange exchange(std::string_view command, std::chrono::milliseconds timeout);

private:
    using Clock = std::chrono::steady_clock;

    bool dropPendingInput(Exchange &result);
    bool writeAll(std::string_view bytes, Clock::time_point deadline, Exchange &result);
    bool awaitAnswer(Clock::time_point deadline, Exchange &result);
    void trace(const char *direction, std::string_view bytes) const;

    int fd_;
    WriteShape shape_;
    std::FILE *trace_;
    AnswerScanner scanner_;
};

} // namespace tavlun::accessory
