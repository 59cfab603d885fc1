#pragma once

#include "keystrokes/KeyInjector.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace tavlun::keystrokes {

// Types keys into the Wayland client that has the keyboard focus, through
// the compositor's virtual-keyboard protocol (zwp_virtual_keyboard_v1, as
// sway and the other wlroots compositors offer it), on a Wayland
// connection of its own that lives in Qt's event loop.
//
// The keyboard has a keymap of its own (VirtualKeymap), so every character
// is typed as itself whatever layout the user has. It is created here and
// kept: keys sent just after a seat gains its first keyboard are lost. Each
// key goes down and up in one batch. When the compositor ends the
// connection, type() returns false and onProblem says so, once.
//
// Connects (to WAYLAND_DISPLAY when the name is empty), creates the keyboard
// and waits for the compositor to accept it. Returns null on failure, with
// a reason in a few words: no compositor, no virtual-keyboard protocol, or
// a compositor that refused the keyboard or its keymap.
std::unique_ptr<KeyInjector> openWaylandKeyInjector(const QByteArray &displayName, QString *failureReason);

} // namespace tavlun::keystrokes
