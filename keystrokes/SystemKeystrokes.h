#pragma once

#include "BackendChoice.h"
#include "keystrokes/KeyInjector.h"

#include <memory>

namespace tavlun::keystrokes {

// Reads the session, probes what it offers (the compositor's virtual
// keyboard, the desktop portal's RemoteDesktop version) and makes the
// backend that chooseBackend() picks, once, at start-up. Writes one line on
// standard error naming the backend and why. When typing is unavailable,
// the injector's type() always fails and *unavailableReason says why;
// otherwise it is left as it is. A backend that reaches only some applications
// tells the user so, through onProblem, at the first key.
std::unique_ptr<KeyInjector> createKeyInjector(std::string *unavailableReason);

// Sets QT_QPA_PLATFORM to preferredQtPlatform() when that names one. Call
// before the application object is made.
void choosePlatformPlugin();

} // namespace tavlun::keystrokes
