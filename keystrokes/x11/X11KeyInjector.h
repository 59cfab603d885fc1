#pragma once

#include "keystrokes/KeyInjector.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace tavlun::keystrokes {

// Types keys into the X11 client that has the keyboard focus, through the
// XTest extension on a display connection of its own.
//
// A character is found in the full XKB map of the core keyboard (every
// group and shift level) and typed with exactly the modifiers and group its
// level needs, whatever the user holds, has locked or latched at that
// moment; the user's state is put back right after the key. A character
// that no key makes is bound to a spare keycode (one without symbols). Such
// bindings stay in a small pool and are reused until the keycode is needed
// for another character; they are undone when the injector goes. The map is
// read again when the keyboard mapping changes (a layout switch, for
// instance).
//
// Connects to the display (the DISPLAY variable when the name is empty).
// Returns null and sets *failureReason when the display cannot be opened or
// lacks the XTest or XKB extension.
std::unique_ptr<KeyInjector> openX11KeyInjector(const QByteArray &displayName, QString *failureReason);

} // namespace tavlun::keystrokes
