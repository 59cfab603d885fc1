#pragma once

#include "core/Key.h"

#include <functional>
#include <string>

namespace tavlun::keystrokes {

// Types keys into the application that has the keyboard focus, one way per
// kind of desktop.
class KeyInjector : public core::KeyTyper {
public:
    // Typing may be needed soon (a port has just been connected): a backend
    // that must ask the desktop for permission asks now, not at the first
    // key, when the question would cover the application being typed into.
    virtual void prepare() {}

    // Set by the owner; called when typing fails after type() returned, or
    // stops working (permission refused, the desktop went away, a character
    // the user's layout lacks). The text (UTF-8) says in one sentence what
    // will not work and what the user can do. Backends call it once per
    // distinct problem.
    std::function<void(const std::string &problem)> onProblem;
};

} // namespace tavlun::keystrokes
