#pragma once

#include "KeySequenceDecoder.h"

#include <string>
#include <string_view>
#include <variant>

namespace tavlun::core {

// What the accessory link tells the window side, in the order it happens.
// Texts are UTF-8.
struct LogEntry {
    std::string text; // one entry at the end of the traffic log
};
struct PromptChange {
    std::string text; // the status prompt's new text
};
struct KeypadKeyDecoded {
    DecodedKey key; // for delivery, after the text box has been given the focus
};
using LinkEvent = std::variant<LogEntry, PromptChange, KeypadKeyDecoded>;

// The window as the link's events reach it.
class LinkView {
public:
    virtual ~LinkView() = default;

    // One entry (UTF-8) at the end of the traffic log.
    virtual void addLogEntry(std::string_view text) = 0;
    // The status prompt's new text (UTF-8).
    virtual void setPrompt(std::string_view text) = 0;
};

// Everything the link sends out: the answer, to the port at once, and its
// events, for the window side.
class LinkOutput {
public:
    virtual ~LinkOutput() = default;

    // Called before anything else of a line: the accessory waits for it.
    virtual void writeAnswer(std::string_view bytes) = 0;
    virtual void post(LinkEvent event) = 0;
};

} // namespace tavlun::core
