#pragma once

#include "KeyInjector.h"

#include <QString>

namespace tavlun::link {

// The main window as output delivery sees it.
class DeliveryTarget {
public:
    virtual ~DeliveryTarget() = default;

    // True while the window is in the normal state (neither minimised nor
    // maximised).
    virtual bool isNormalState() const = 0;
    // Gives the text box the keyboard focus.
    virtual void focusTextBox() = 0;
    // Appends the text at the end of the text box and puts the caret after
    // it, with nothing selected.
    virtual void appendToTextBox(const QString &text) = 0;
    // Presses Backspace in the text box, as the key would.
    virtual void backspaceInTextBox() = 0;
};

// Puts a decoded key where the user can use it: into the text box while the
// window is normal, as keystrokes into the focused application otherwise.
class OutputDelivery {
public:
    OutputDelivery(DeliveryTarget &target, KeyInjector &injector)
        : target_(target), injector_(injector) {}

    // Runs before decoding a keypad command: the text box takes the focus
    // in the normal state, so a Backspace for the clear key lands there.
    void focusStep();

    // Delivers the decoder's output token and clear flag.
    void CiktiGonder(const QString &token, bool clear);

private:
    DeliveryTarget &target_;
    KeyInjector &injector_;
};

} // namespace tavlun::link
