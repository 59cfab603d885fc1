#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tavlun::core {

// Assembles received bytes into command lines. Every carriage return
// completes the line that it ends; one line feed right after it belongs to
// the terminator, also when it comes in the next read. A line that grows
// past kMaxLineLength cannot be a command of the accessory: it is dropped,
// up to its end.
class LineFramer {
public:
    static constexpr std::size_t kMaxLineLength = 4096;

    // Takes in the bytes of one read. For every line that they complete,
    // lineDone runs while line() holds it, carriage return last; the line is
    // emptied after it.
    void feed(std::string_view bytes, const std::function<void()> &lineDone);

    // The line received so far: bytes, each a Latin-1 character.
    const std::string &line() const { return line_; }
    // Empties the line and forgets any pending terminator.
    void clear();

private:
    void appendPartial(std::string_view part);

    std::string line_;
    bool lineFeedEndsTerminator_ = false; // the last read ended on a carriage return
    bool discarding_ = false;             // dropping an over-long line up to its end
};

} // namespace tavlun::core
