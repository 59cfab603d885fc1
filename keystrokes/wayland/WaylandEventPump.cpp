#include "WaylandEventPump.h"

#include <QSocketNotifier>

#include <wayland-client.h>

#include <cerrno>
#include <poll.h>

namespace tavlun::keystrokes {

WaylandEventPump::WaylandEventPump(wl_display *display) : display_(display)
{
    const int fd = wl_display_get_fd(display_);
    readable_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(readable_.get(), &QSocketNotifier::activated, readable_.get(),
                     [this] { readEvents(); });
    writable_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    writable_->setEnabled(false);
    QObject::connect(writable_.get(), &QSocketNotifier::activated, writable_.get(),
                     [this] { flush(); });
}

WaylandEventPump::~WaylandEventPump() = default;

void WaylandEventPump::readEvents()
{
    if (lost_)
        return;
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0)
            return loseConnection();
    }
    if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0)
        return loseConnection();
    flush();
}

void WaylandEventPump::pollEvents()
{
    if (lost_)
        return;
    pollfd pfd{wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&pfd, 1, 0) > 0)
        readEvents();
}

void WaylandEventPump::flush()
{
    if (lost_)
        return;
    const bool failed = wl_display_flush(display_) < 0;
    const bool full = failed && errno == EAGAIN;
    writable_->setEnabled(full);
    // A closed socket (EPIPE), or an error the display holds: the flush
    // fails with it.
    if (failed && !full)
        loseConnection();
}

void WaylandEventPump::loseConnection()
{
    if (lost_)
        return;
    lost_ = true;
    readable_->setEnabled(false);
    writable_->setEnabled(false);
}

} // namespace tavlun::keystrokes
