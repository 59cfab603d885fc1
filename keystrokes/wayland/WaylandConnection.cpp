#include "WaylandConnection.h"

#include "keystrokes/FailureReason.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>

namespace tavlun::keystrokes {

namespace {

// How long the compositor has to answer a roundtrip during set-up.
constexpr std::chrono::milliseconds kAnswerDeadline{3000};

} // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::open(const QByteArray &displayName, Wanted wanted,
                                                           QString *failureReason)
{
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection);
    connection->display_.reset(wl_display_connect(displayName.isEmpty() ? nullptr : displayName.constData()));
    if (!connection->display_) {
        const QByteArray name = displayName.isEmpty() ? qgetenv("WAYLAND_DISPLAY") : displayName;
        return failWith(failureReason, QStringLiteral("cannot connect to the Wayland display \"")
                                           + QString::fromLocal8Bit(name) + u'"');
    }
    connection->wanted_ = std::move(wanted);
    static constexpr wl_registry_listener kRegistryListener{
        &WaylandConnection::announceGlobal, [](void *, wl_registry *, std::uint32_t) {}};
    wl_registry *registry = wl_display_get_registry(connection->display());
    connection->registry_.reset(reinterpret_cast<wl_proxy *>(registry));
    wl_registry_add_listener(registry, &kRegistryListener, connection.get());
    if (!connection->roundtrip())
        return failWith(failureReason, connection->problem());
    return connection;
}

void WaylandConnection::announceGlobal(void *data, wl_registry *registry, std::uint32_t name,
                                       const char *interface, std::uint32_t version)
{
    auto *connection = static_cast<WaylandConnection *>(data);
    const Wanted &wanted = connection->wanted_;
    const auto bind = [&](const wl_interface &bound, std::uint32_t highestVersion) {
        return static_cast<wl_proxy *>(wl_registry_bind(registry, name, &bound, std::min(version, highestVersion)));
    };
    if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        if (connection->seat_)
            return;
        connection->seat_.reset(bind(wl_seat_interface, wanted.seatVersion));
        if (wanted.seatListener)
            wl_seat_add_listener(connection->seat(), wanted.seatListener, wanted.seatListenerData);
        return;
    }
    for (const Global &global : wanted.others) {
        if (std::strcmp(interface, global.interface->name) == 0 && !connection->boundGlobal(*global.interface))
            connection->globals_.emplace_back(global.interface, bind(*global.interface, global.version));
    }
}

wl_proxy *WaylandConnection::boundGlobal(const wl_interface &interface) const
{
    for (const auto &[boundInterface, proxy] : globals_) {
        if (boundInterface == &interface)
            return proxy.get();
    }
    return nullptr;
}

bool WaylandConnection::roundtrip()
{
    using Clock = std::chrono::steady_clock;
    wl_display *display = display_.get();
    bool done = false;
    static constexpr wl_callback_listener kDone{
        [](void *data, wl_callback *, std::uint32_t) { *static_cast<bool *>(data) = true; }};
    // Freed on return, answered or not: an answer that comes later is dropped.
    const Owned<wl_callback, wl_callback_destroy> callback(wl_display_sync(display));
    wl_callback_add_listener(callback.get(), &kDone, &done);
    const auto end = Clock::now() + kAnswerDeadline;
    while (!done) {
        if (wl_display_dispatch_pending(display) < 0)
            break;
        if (done)
            break;
        if (wl_display_flush(display) < 0 && errno != EAGAIN)
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) {
            unanswered_ = true;
            break;
        }
        if (wl_display_prepare_read(display) != 0)
            continue;
        pollfd readable{wl_display_get_fd(display), POLLIN, 0};
        if (poll(&readable, 1, int(left.count())) <= 0) {
            wl_display_cancel_read(display);
            continue;
        }
        if (wl_display_read_events(display) < 0)
            break;
    }
    return done && wl_display_get_error(display) == 0;
}

QString WaylandConnection::problem() const
{
    const int error = wl_display_get_error(display());
    if (error == EPROTO) {
        const wl_interface *interface = nullptr;
        const std::uint32_t code = wl_display_get_protocol_error(display(), &interface, nullptr);
        return QStringLiteral("the compositor ended the connection (protocol error %1 on %2)")
            .arg(code)
            .arg(QString::fromLatin1(interface ? interface->name : "?"));
    }
    if (error == 0 && unanswered_)
        return QStringLiteral("the compositor did not answer");
    // A socket that closed while requests were flushed leaves no error on
    // the display.
    return QStringLiteral("the connection to the compositor was lost (%1)")
        .arg(QString::fromLocal8Bit(std::strerror(error ? error : EPIPE)));
}

bool WaylandConnection::endedWithError(const wl_interface &interface, std::uint32_t code) const
{
    const wl_interface *failed = nullptr;
    return wl_display_get_error(display()) == EPROTO
        && wl_display_get_protocol_error(display(), &failed, nullptr) == code && failed == &interface;
}

WaylandEventPump &WaylandConnection::startPump()
{
    pump_ = std::make_unique<WaylandEventPump>(display());
    return *pump_;
}

} // namespace tavlun::keystrokes
