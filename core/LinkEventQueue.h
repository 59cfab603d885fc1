#pragma once

#include "LinkEvents.h"
#include "OutputDelivery.h"

#include <functional>
#include <mutex>
#include <vector>

namespace tavlun::core {

// The link's events on their way from the port's thread to the window's:
// any thread posts them; the first one after the window has taken the rest
// calls `wake` (which asks the window's thread to take them), and the window
// takes them all, in order.
class LinkEventQueue {
public:
    explicit LinkEventQueue(std::function<void()> wake) : wake_(std::move(wake)) {}

    void post(LinkEvent event);
    // Takes every event posted since the last call, in order.
    std::vector<LinkEvent> takeAll();
    // Takes every event waiting and hands each to its place: the log and the
    // prompt to the window, which shows them when it next paints; a keypad
    // key to delivery at once, so that a key meant for another application
    // leaves as soon as its line is decoded.
    void dispatchWaiting(LinkView &window, OutputDelivery &delivery);

private:
    std::function<void()> wake_;
    std::mutex mutex_;
    std::vector<LinkEvent> events_;
};

} // namespace tavlun::core
