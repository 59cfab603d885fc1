#pragma once

#include "core/AccessoryDialogue.h"
#include "core/LinkEventQueue.h"
#include "serial/SerialPort.h"

#include <QMetaObject>
#include <QThread>

#include <memory>
#include <type_traits>
#include <utility>

namespace tavlun::app {

// The serial port and the accessory dialogue on a thread of their own:
// every read goes straight into the dialogue and its answer straight back
// to the port, so no window work ever delays an answer. The dialogue's
// events go to the queue.
class PortThread final : private core::LinkOutput {
public:
    explicit PortThread(core::LinkEventQueue &events);
    // Stops the thread, as stop() does.
    ~PortThread() override;
    PortThread(const PortThread &) = delete;
    PortThread &operator=(const PortThread &) = delete;

    // Runs f on the port's thread, waits for it and returns its result.
    // Only while the thread runs.
    template <typename F> auto run(F &&f) const;

    // Destroys the port on its own thread (closing it) and ends the thread.
    void stop();

    // Owned by the port's thread: used only from within run().
    serial::SerialPort &port() const { return *port_; }
    core::AccessoryDialogue &dialogue() { return dialogue_; }

private:
    // core::LinkOutput
    void writeAnswer(std::string_view bytes) override;
    void post(core::LinkEvent event) override;

    core::LinkEventQueue &events_;
    QThread thread_;
    serial::SerialPort *port_; // lives and dies on the port's thread
    core::AccessoryDialogue dialogue_;
};

template <typename F> auto PortThread::run(F &&f) const
{
    using Result = std::invoke_result_t<F>;
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(port_, std::forward<F>(f), Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(port_, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

} // namespace tavlun::app
