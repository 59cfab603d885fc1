#pragma once

#include "LineFramer.h"
#include "LinkEvents.h"

#include <string_view>

namespace tavlun::core {

inline constexpr std::string_view kRevisionQuery = "AT+CGMR";
inline constexpr std::string_view kKeypadCommand = "AT+CKPD=";
inline constexpr std::string_view kAnswer = "OK\r\n";
inline constexpr std::string_view kReceivedPrefix = "-> ";
inline constexpr std::string_view kAnswerEntry = "<- OK";
inline constexpr std::string_view kSmsKeyPrompt = " SMS Tuşuna Basın...";
inline constexpr std::string_view kKeyboardReadyPrompt = " Klavye hazır. Bir Tuşa basın...";

// The phone's side of the accessory's AT dialogue: answers every completed
// line "OK", logs the traffic, follows the accessory's progress in the
// prompt and decodes keypad commands. It is fed the bytes of each read and
// does no I/O of its own.
class AccessoryDialogue {
public:
    explicit AccessoryDialogue(LinkOutput &output) : output_(output) {}

    // Takes in the bytes of one read of the port.
    void receive(std::string_view bytes);

    // The line received so far: bytes, each a Latin-1 character.
    const std::string &lineSoFar() const { return framer_.line(); }
    // True when the line received so far begins with `prefix` (exactly,
    // case-sensitively).
    bool lineStartsWith(std::string_view prefix) const { return lineSoFar().starts_with(prefix); }

    // Forgets the line received so far, as a new connection does.
    void clearLine() { framer_.clear(); }

private:
    void completeLine();

    LinkOutput &output_;
    LineFramer framer_;
};

} // namespace tavlun::core
