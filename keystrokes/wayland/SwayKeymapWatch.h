#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tavlun::keystrokes {

// sway applies a keyboard setting such as `input * xkb_layout de`, typed or
// read again at a reload, to every keyboard it has, the virtual keyboard
// that types for Tavlun included: its keymap is replaced, and Tavlun's keys
// would come out as the characters of that layout. sway says so on its IPC
// socket ($SWAYSOCK) as an "input" event, "xkb_keymap", for the keyboard;
// this watch subscribes to those events and is asked, before each key,
// whether one came for a keymap that is not Tavlun's.
class SwayKeymapWatch {
public:
    // Subscribes on the socket `path`; null where it cannot (no sway there).
    static std::unique_ptr<SwayKeymapWatch> open(const std::string &path);
    ~SwayKeymapWatch();
    SwayKeymapWatch(const SwayKeymapWatch &) = delete;
    SwayKeymapWatch &operator=(const SwayKeymapWatch &) = delete;

    // Whether the latest keymap that a virtual keyboard got since the last
    // call has a layout not named `ownLayout`. Reads what has come, never
    // waits.
    bool foreignKeymapSince(std::string_view ownLayout);

private:
    explicit SwayKeymapWatch(int socket) : socket_(socket) {}
    void stop();

    int socket_;
    std::string received_; // bytes of messages not yet complete
};

} // namespace tavlun::keystrokes
