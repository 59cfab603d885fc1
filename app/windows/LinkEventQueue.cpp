#include "LinkEventQueue.h"

#include <utility>

namespace tavlun::app::windows {

void LinkEventQueue::post(core::LinkEvent event)
{
    bool first = false;
    {
        const std::lock_guard lock(mutex_);
        first = events_.empty();
        events_.push_back(std::move(event));
    }
    if (first)
        wake_();
}

std::vector<core::LinkEvent> LinkEventQueue::takeAll()
{
    const std::lock_guard lock(mutex_);
    return std::exchange(events_, {});
}

} // namespace tavlun::app::windows
