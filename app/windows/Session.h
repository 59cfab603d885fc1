#pragma once

#include "PortListing.h"
#include "SerialLink.h"
#include "core/LinkEventQueue.h"
#include "core/OutputDelivery.h"
#include "core/PortConnection.h"
#include "keystrokes/KeyInjector.h"
#include "serial/windows/ComPortCatalog.h"
#include "ui/windows/MainWindow.h"

namespace tavlun::app::windows {

// Wires the Windows program together: the COM port and the accessory
// dialogue on the port's thread, their events taken in by the window's
// thread (the traffic log and the prompt for the next frame, keys delivered
// at once), and port discovery and connection driven by the window.
// Construction runs the rest of the start-up sequence: the port probe.
class Session {
public:
    Session(ui::windows::MainWindow &window, keystrokes::KeyInjector &injector);

private:
    ui::windows::MainWindow &window_;
    core::LinkEventQueue events_;
    SerialLink link_;
    serial::windows::ComPortCatalog catalog_;
    core::OutputDelivery delivery_;
    PortListing listing_;
    core::PortConnection connection_;
};

} // namespace tavlun::app::windows
