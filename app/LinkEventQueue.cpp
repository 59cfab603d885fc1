#include "LinkEventQueue.h"

#include <utility>

namespace tavlun::app {

void LinkEventQueue::post(core::LinkEvent event)
{
    bool first = false;
    {
        QMutexLocker lock(&mutex_);
        first = events_.empty();
        events_.push_back(std::move(event));
    }
    if (first)
        emit eventsWaiting();
}

std::vector<core::LinkEvent> LinkEventQueue::takeAll()
{
    QMutexLocker lock(&mutex_);
    return std::exchange(events_, {});
}

} // namespace tavlun::app
