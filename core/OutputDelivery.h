#pragma once

#include "Key.h"
#include "KeySequenceDecoder.h"

#include <string_view>

namespace tavlun::core {

// The main window as output delivery sees it.
class DeliveryTarget {
public:
    virtual ~DeliveryTarget() = default;

    // True while the window is in the normal state (neither minimised nor
    // maximised).
    virtual bool isNormalState() const = 0;
    // Gives the text box the keyboard focus.
    virtual void focusTextBox() = 0;
    // Appends the text (UTF-8) at the end of the text box and puts the caret
    // after it, with nothing selected.
    virtual void appendToTextBox(std::string_view text) = 0;
    // Presses Backspace in the text box, as the key would.
    virtual void backspaceInTextBox() = 0;
};

// Puts a decoded key where the user can use it: into the text box while the
// window is normal, as keystrokes into the focused application otherwise.
class OutputDelivery {
public:
    OutputDelivery(DeliveryTarget &target, KeyTyper &typer) : target_(target), typer_(typer) {}

    // A keypad command: the text box takes the focus in the normal state,
    // then the key is delivered.
    void deliverKeypadKey(const DecodedKey &key);

private:
    DeliveryTarget &target_;
    KeyTyper &typer_;
};

} // namespace tavlun::core
