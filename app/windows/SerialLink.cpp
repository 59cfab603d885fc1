#include "SerialLink.h"

#include "serial/windows/SystemComPorts.h"

namespace tavlun::app::windows {

SerialLink::SerialLink(core::LinkEventQueue &events, std::function<void()> deviceLost)
    : events_(events),
      dialogue_(*this),
      port_({[this](std::string_view bytes) { dialogue_.receive(bytes); }, std::move(deviceLost)})
{
}

bool SerialLink::open(const std::string &device)
{
    // The port's thread starts with the open and has not read yet.
    dialogue_.clearLine();
    return port_.open(device);
}

std::string SerialLink::lastErrorText() const
{
    return port_.lastError() ? serial::windows::errorText(port_.lastError()) : std::string();
}

} // namespace tavlun::app::windows
