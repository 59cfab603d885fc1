#pragma once

#include <memory>

struct wl_display;
class QSocketNotifier;

namespace tavlun::keystrokes {

// Serves a Wayland connection of the program's own from Qt's event loop, no
// thread needed: the compositor's events are read and dispatched when the
// socket is readable, and requests are flushed after each batch; what does
// not fit in the socket goes out once it can be written again, and nothing
// waits for it. When the connection breaks, the notifiers stop and lost()
// says so.
class WaylandEventPump {
public:
    explicit WaylandEventPump(wl_display *display);
    ~WaylandEventPump();
    WaylandEventPump(const WaylandEventPump &) = delete;
    WaylandEventPump &operator=(const WaylandEventPump &) = delete;

    // Reads and dispatches what has arrived, then flushes.
    void readEvents();
    // The same, without waiting, when something has arrived: an error that
    // the compositor sent is then known before the next request.
    void pollEvents();
    // Sends what is queued.
    void flush();

    bool lost() const { return lost_; }

private:
    void loseConnection();

    wl_display *display_;
    std::unique_ptr<QSocketNotifier> readable_;
    std::unique_ptr<QSocketNotifier> writable_;
    bool lost_ = false;
};

} // namespace tavlun::keystrokes
