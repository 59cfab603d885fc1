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
    // Subscribes on the socket `path`, for the keymaps whose layout is not
    // named `ownLayout`; null where it cannot (no sway there).
    static std::unique_ptr<SwayKeymapWatch> open(const std::string &path, std::string_view ownLayout);
    ~SwayKeymapWatch();
    SwayKeymapWatch(const SwayKeymapWatch &) = delete;
    SwayKeymapWatch &operator=(const SwayKeymapWatch &) = delete;

    // Whether the latest keymap that a virtual keyboard got since the last
    // call is not ours. Reads what has come, never waits.
    bool foreignKeymapSince();

private:
    SwayKeymapWatch(int socket, std::string_view ownLayout)
        : socket_(socket), ownLayoutQuoted_('"' + std::string(ownLayout) + '"')
    {
    }
    void stop();

    int socket_;
    std::string ownLayoutQuoted_; // as the reports' JSON has it
    std::string received_; // bytes of messages not yet complete
};

} // namespace tavlun::keystrokes
