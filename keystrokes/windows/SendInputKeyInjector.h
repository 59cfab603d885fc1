#pragma once

#include "keystrokes/KeyInjector.h"

#include <vector>

struct tagINPUT;

namespace tavlun::keystrokes::windows {

// The input events that type one key: a character as itself through
// KEYEVENTF_UNICODE, whatever the user's keyboard layout (a character
// beyond the first 65536 as its two UTF-16 halves), Backspace, Enter and
// Escape as their virtual keys; each pressed, then released.
std::vector<tagINPUT> inputsFor(core::Key key);

// Types into the application that has the keyboard focus with SendInput.
// An application that runs elevated takes no keys from a program that does
// not (User Interface Privilege Isolation), and SendInput does not say so:
// such a target is recognised by its integrity level and named once through
// onProblem.
class SendInputKeyInjector final : public KeyInjector {
public:
    bool type(core::Key key) override;

private:
    bool toldElevated_ = false;
};

} // namespace tavlun::keystrokes::windows
