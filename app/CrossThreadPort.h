#pragma once

#include "core/PortConnection.h"

namespace tavlun::app {

class PortThread;

// The port on its own thread, as port discovery and connection use it from
// the window's: each call runs on the port's thread and waits for it.
class CrossThreadPort final : public core::PortControl {
public:
    explicit CrossThreadPort(PortThread &thread) : thread_(thread) {}

    // A successful open also forgets the part line of the last connection.
    bool open(const std::string &device) override;
    void close() override;
    bool isOpen() const override;
    std::string lastErrorText() const override;

private:
    PortThread &thread_;
};

} // namespace tavlun::app
