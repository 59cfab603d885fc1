#pragma once

#include "XSession.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlun::test {

// A private sway (headless, no input devices, software rendering, a runtime
// directory of its own), and `wev` as the client that has the keyboard
// focus. sway refuses to run as root: then it and every client started
// through it run as `nobody`, and the calling process, root, connects to
// the compositor's socket. Only processes started here are stopped.
class SwaySession {
public:
    struct Options {
        std::string layout = "us"; // the user's layout: `input * xkb_layout`
        bool xwayland = false;
    };
    explicit SwaySession(const Options &options);
    ~SwaySession();
    SwaySession(const SwaySession &) = delete;
    SwaySession &operator=(const SwaySession &) = delete;

    bool ok() const { return error_.empty(); }
    const std::string &error() const { return error_; }
    // The compositor's socket, an absolute path that wl_display_connect takes.
    const std::string &socketPath() const { return socket_; }
    // XWayland's display (":N"), when started with it.
    const std::string &xDisplay() const { return xDisplay_; }

    // Starts wev. Its window takes the focus; its keyboard focus ("enter")
    // comes once the seat has a keyboard.
    bool startRecorder();
    bool waitForKeyboardFocus(std::chrono::milliseconds deadline);
    // The next key press wev reports (its keycode an evdev code, no state);
    // releases, keymaps and modifiers seen on the way are counted.
    std::optional<RecordedKey> nextKey(std::chrono::milliseconds deadline);

    // Reads on until wev has reported `count` releases in all.
    bool waitForReleases(int count, std::chrono::milliseconds deadline);

    int keymapsSeen() const { return keymaps_; }
    int releasesSeen() const { return releases_; }
    // The latest depressed, latched and locked modifiers wev was sent.
    unsigned lastModifiers() const { return modifiers_; }

    // Runs a program as the compositor's user, with its WAYLAND_DISPLAY
    // (and DISPLAY, when XWayland runs); its exit status.
    std::optional<int> run(const std::vector<std::string> &argv, std::chrono::milliseconds deadline);
    // Ends the compositor, as when the desktop goes away.
    void stopCompositor();

private:
    std::vector<std::string> asCompositorUser(const std::vector<std::string> &argv,
                                              bool withDisplays) const;
    bool readWevLine(std::chrono::milliseconds deadline, std::string *line);

    std::string error_;
    std::string dir_;
    std::string runtimeDir_;
    std::string socket_;
    std::string xDisplay_;
    std::unique_ptr<ChildProcess> sway_;
    std::unique_ptr<ChildProcess> wev_;
    std::unique_ptr<LineReader> wevOutput_;
    int keymaps_ = 0;
    int releases_ = 0;
    unsigned modifiers_ = 0;
    bool focused_ = false;
};

} // namespace tavlun::test
