#pragma once

#include <QByteArray>
#include <QString>

namespace tavlun::keystrokes {

// The ways of typing into other applications, one per kind of session.
enum class Backend {
    XTest,                // an X11 session: XTest
    VirtualKeyboard,      // a Wayland compositor with zwp_virtual_keyboard_manager_v1
    Portal,               // GNOME or KDE on Wayland: the desktop portal's RemoteDesktop
    XTestThroughXWayland, // any other Wayland session with XWayland: X11 clients only
    Unavailable,
};

// What the session offers, as read from the environment and probed.
struct SessionFacts {
    QString sessionType;    // XDG_SESSION_TYPE
    QString waylandDisplay; // WAYLAND_DISPLAY
    QString x11Display;     // DISPLAY
    QString currentDesktop; // XDG_CURRENT_DESKTOP, names separated by colons
    QString swaySocket;     // SWAYSOCK: sway's IPC, or that of a compositor that speaks it
    // The compositor offers the virtual-keyboard protocol and accepted a
    // keyboard of ours; otherwise the reason, when it was asked.
    bool virtualKeyboard = false;
    QString virtualKeyboardProblem;
    // The version of the portal's RemoteDesktop interface; 0 when absent.
    int remoteDesktopPortalVersion = 0;

    // The session is a Wayland one when WAYLAND_DISPLAY is set or
    // XDG_SESSION_TYPE says so, whatever DISPLAY says.
    bool isWayland() const;
    bool isGnomeOrKde() const;
    bool isKde() const;
    // Only the variables, nothing probed.
    static SessionFacts fromEnvironment();

private:
    // XDG_CURRENT_DESKTOP names `desktop`, in any case.
    bool currentDesktopIs(const QString &desktop) const;
};

struct BackendChoice {
    Backend backend = Backend::Unavailable;
    QString why;    // for the start-up line, or why typing is unavailable
    QString notice; // what the user is told at the first key; empty for none
};

// The backend for a session: decided from the facts alone.
BackendChoice chooseBackend(const SessionFacts &facts);

const char *backendName(Backend backend);

// The Qt platform plugin the window should use, or empty for Qt's own
// choice: on Wayland desktops with XWayland, "xcb", because only there does
// the desktop tell the window that it is minimised (the Wayland protocol
// tells a client nothing of the kind). sway's IPC tells the window where it
// is (its scratchpad stands for minimised), so there Qt chooses. A plugin the
// user asked for (QT_QPA_PLATFORM) is left alone.
QByteArray preferredQtPlatform(const SessionFacts &facts, const QByteArray &requested);

} // namespace tavlun::keystrokes
