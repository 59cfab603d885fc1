#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <chrono>
#include <functional>

namespace tavlun::test {

// Runs the event loop until `condition` holds or the deadline passes; false
// on time-out. Sleeps briefly between polls, since a pseudo-terminal's far
// side raises no events in this process.
inline bool waitFor(const std::function<bool()> &condition,
                    std::chrono::milliseconds deadline = std::chrono::seconds(10))
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > deadline.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

} // namespace tavlun::test
