#pragma once

namespace tavlun::core {
class OutputDelivery;
}
namespace tavlun::ui {
class MainWindow;
}

namespace tavlun::app {

class LinkEventQueue;

// On the window's thread, passes each event of the link to its place, in
// order: the traffic log and the prompt to the window, which shows them at
// its next frame; a keypad key to delivery at once, so a key meant for
// another application leaves as soon as its line is decoded.
class LinkEventDispatch {
public:
    LinkEventDispatch(LinkEventQueue &queue, ui::MainWindow &window, core::OutputDelivery &delivery)
        : queue_(queue), window_(window), delivery_(delivery)
    {
    }

    // Passes on every event that waits.
    void dispatchWaiting();

private:
    LinkEventQueue &queue_;
    ui::MainWindow &window_;
    core::OutputDelivery &delivery_;
};

} // namespace tavlun::app
