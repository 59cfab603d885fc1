#pragma once

#include <functional>

namespace tavlun::app {

// When the connection to the display breaks (the desktop's X server or
// compositor ending at logout), Qt prints a warning and ends the process at
// once, from within its own event handling, without unwinding the stack.
// This sees that warning first: it runs `cleanUp` (the port closed, its
// thread stopped), says in one line on standard error what happened instead
// of Qt's words, and ends the process with status 1. Other messages go on
// to the handler that was installed before.
// It holds while this object lives.
class DisplayLossCleanUp {
public:
    explicit DisplayLossCleanUp(std::function<void()> cleanUp);
    ~DisplayLossCleanUp();
    DisplayLossCleanUp(const DisplayLossCleanUp &) = delete;
    DisplayLossCleanUp &operator=(const DisplayLossCleanUp &) = delete;
};

} // namespace tavlun::app
