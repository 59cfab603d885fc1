#pragma once

#include "core/LinkEventQueue.h"
#include "core/AccessoryDialogue.h"
#include "core/PortConnection.h"
#include "serial/windows/ComPort.h"

#include <functional>

namespace tavlun::app::windows {

// The COM port and the accessory dialogue, as port discovery and connection
// use them: every read goes straight into the dialogue on the port's thread,
// and its answer straight back to the port before anything else; the
// dialogue's events go to the queue. A lost device is told through
// `deviceLost`, on the port's thread.
class SerialLink final : public core::PortControl, private core::LinkOutput {
public:
    SerialLink(core::LinkEventQueue &events, std::function<void()> deviceLost);

    // A successful open also forgets the part line of the last connection.
    bool open(const std::string &device) override;
    void close() override { port_.close(); }
    bool isOpen() const override { return port_.isOpen(); }
    std::string lastErrorText() const override;

    // The code of the latest failed open, and whether the port refused its settings.
    std::pair<unsigned long, bool> lastOpenError() const { return {port_.lastError(), port_.lastErrorAtSettings()}; }

private:
    // core::LinkOutput
    void writeAnswer(std::string_view bytes) override { port_.write(bytes); }
    void post(core::LinkEvent event) override { events_.post(std::move(event)); }

    core::LinkEventQueue &events_;
    core::AccessoryDialogue dialogue_;
    serial::windows::ComPort port_;
};

} // namespace tavlun::app::windows
