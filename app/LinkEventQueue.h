#pragma once

#include "core/LinkEvents.h"

#include <QMutex>
#include <QObject>

#include <vector>

namespace tavlun::app {

// The link's events on their way from the port's thread to the window's: any
// thread may post them, the window side takes them, in order, in batches.
class LinkEventQueue final : public QObject {
    Q_OBJECT

public:
    void post(core::LinkEvent event);
    // Takes every event posted since the last call, in order.
    std::vector<core::LinkEvent> takeAll();

signals:
    // Events wait; sent once until they are taken.
    void eventsWaiting();

private:
    QMutex mutex_;
    std::vector<core::LinkEvent> events_;
};

} // namespace tavlun::app
