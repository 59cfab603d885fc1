#pragma once

#include "core/LinkEvents.h"

#include <functional>
#include <mutex>
#include <vector>

namespace tavlun::app::windows {

// The link's events on their way from the port's thread to the window's:
// any thread posts them; the first one after the window has taken the rest
// calls `wake` (which posts a message to the window), and the window takes
// them all, in order.
class LinkEventQueue {
public:
    explicit LinkEventQueue(std::function<void()> wake) : wake_(std::move(wake)) {}

    void post(core::LinkEvent event);
    // Takes every event posted since the last call, in order.
    std::vector<core::LinkEvent> takeAll();

private:
    std::function<void()> wake_;
    std::mutex mutex_;
    std::vector<core::LinkEvent> events_;
};

} // namespace tavlun::app::windows
