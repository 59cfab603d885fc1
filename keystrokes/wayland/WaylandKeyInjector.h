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
// is typed as itself whatever layout the user has. It is created when the
// injector opens and kept: keys sent just after a seat gains its first
// keyboard are lost. Each key goes down and up in one batch. When the
// compositor ends the connection, sendKeys() returns false and onProblem
// says so, once.
class WaylandKeyInjector final : public KeyInjector {
public:
    enum class Failure {
        NoConnection,      // no compositor to connect to
        NoVirtualKeyboard, // the compositor does not offer the protocol
        Refused,           // it offers it but refused the keyboard or its keymap
    };

    // Connects (to WAYLAND_DISPLAY when the name is empty), creates the
    // keyboard and waits for the compositor to accept it. Returns null on
    // failure, with the kind and a reason in a few words.
    static std::unique_ptr<WaylandKeyInjector> open(const QByteArray &displayName, Failure *failure,
                                                    QString *failureReason);

    ~WaylandKeyInjector() override;
    WaylandKeyInjector(const WaylandKeyInjector &) = delete;
    WaylandKeyInjector &operator=(const WaylandKeyInjector &) = delete;

    bool type(core::Key key) override;

private:
    struct Private;
    explicit WaylandKeyInjector(std::unique_ptr<Private> d);

    std::unique_ptr<Private> d;
};

} // namespace tavlun::keystrokes
