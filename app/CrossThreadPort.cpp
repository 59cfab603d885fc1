#include "CrossThreadPort.h"

#include "PortThread.h"

namespace tavlun::app {

bool CrossThreadPort::open(const std::string &device)
{
    return thread_.run([this, &device] {
        const bool opened = thread_.port().open(QString::fromStdString(device));
        if (opened)
            thread_.dialogue().clearLine();
        return opened;
    });
}

void CrossThreadPort::close()
{
    thread_.run([this] { thread_.port().close(); });
}

bool CrossThreadPort::isOpen() const
{
    return thread_.run([this] { return thread_.port().isOpen(); });
}

std::string CrossThreadPort::lastErrorText() const
{
    return thread_.run([this] { return thread_.port().lastErrorText().toStdString(); });
}

} // namespace tavlun::app
