#pragma once

#include "keystrokes/Owned.h"
#include "keystrokes/wayland/WaylandEventPump.h"

#include <QByteArray>
#include <QString>

#include <wayland-client.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace tavlun::keystrokes {

// A Wayland connection of the program's own, beside Qt's. While it is set
// up, every roundtrip has the same deadline, so that a compositor that stops
// answering cannot hang the program; then a WaylandEventPump serves it from
// Qt's event loop. It binds the first seat and the first of each other
// global that its owner names; proxies that the owner makes from them must
// be destroyed before the connection is.
class WaylandConnection {
public:
    // A global to bind, at the version the compositor offers but no later
    // than `version`.
    struct Global {
        const wl_interface *interface;
        std::uint32_t version;
    };
    // What the owner wants of the compositor's globals.
    struct Wanted {
        std::uint32_t seatVersion = 1;
        // Added to the seat as soon as it is bound, so that none of its
        // events is missed; none when null.
        const wl_seat_listener *seatListener = nullptr;
        void *seatListenerData = nullptr;
        std::vector<Global> others;
    };

    // Connects to the display (WAYLAND_DISPLAY when the name is empty) and
    // binds what is wanted of the globals it announces. Returns null and
    // sets *failureReason when there is no display to connect to or the
    // compositor does not answer.
    static std::unique_ptr<WaylandConnection> open(const QByteArray &displayName, Wanted wanted,
                                                   QString *failureReason);

    WaylandConnection(const WaylandConnection &) = delete;
    WaylandConnection &operator=(const WaylandConnection &) = delete;

    wl_display *display() const { return display_.get(); }
    // The first seat; null when the compositor offers none.
    wl_seat *seat() const { return reinterpret_cast<wl_seat *>(seat_.get()); }
    // The global of one of the other wanted interfaces; null when the
    // compositor offers none.
    template <typename Proxy>
    Proxy *global(const wl_interface &interface) const
    {
        return reinterpret_cast<Proxy *>(boundGlobal(interface));
    }

    // Waits, no longer than the set-up deadline, until the compositor has
    // handled every request sent so far, and dispatches what it sent
    // meanwhile. False when the answer did not come or the connection broke.
    bool roundtrip();

    // Why the connection broke, in a few words.
    QString problem() const;
    // True when the compositor ended the connection with protocol error
    // `code` on an object of `interface`.
    bool endedWithError(const wl_interface &interface, std::uint32_t code) const;

    // The end of set-up (whose roundtrips sent every request so far): from
    // now on Qt's event loop serves the connection.
    WaylandEventPump &startPump();
    // Null before startPump().
    WaylandEventPump *pump() const { return pump_.get(); }

private:
    WaylandConnection() = default;
    static void announceGlobal(void *data, wl_registry *registry, std::uint32_t name,
                               const char *interface, std::uint32_t version);
    wl_proxy *boundGlobal(const wl_interface &interface) const;

    // Proxies are held as what they are to libwayland, which destroys them
    // all alike (the destroy functions of the protocol's header are its own).
    using Proxy = Owned<wl_proxy, wl_proxy_destroy>;

    // Members go in the reverse order of their teardown: the pump first,
    // then the proxies, then the connection.
    Owned<wl_display, wl_display_disconnect> display_;
    Proxy registry_;
    Wanted wanted_;
    Proxy seat_;
    std::vector<std::pair<const wl_interface *, Proxy>> globals_;
    std::unique_ptr<WaylandEventPump> pump_;
    bool unanswered_ = false; // a roundtrip's deadline passed
};

} // namespace tavlun::keystrokes
