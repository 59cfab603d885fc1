#pragma once

#include "CrossThreadPort.h"
#include "PortThread.h"
#include "core/LinkEventQueue.h"
#include "core/OutputDelivery.h"
#include "core/PortConnection.h"
#include "keystrokes/KeyInjector.h"
#include "serial/DeviceWatch.h"
#include "serial/SystemPorts.h"

#include <QObject>
#include <QStringList>

namespace tavlun::ui {
class MainWindow;
}

namespace tavlun::app {

// Wires the program together: the serial port and the accessory dialogue on
// their own thread, their events dispatched to the window and to delivery,
// and port discovery and connection driven by the window. Construction runs
// the rest of the start-up sequence: the port probe, and the connection to
// the device kept connected if it is there.
class Session final : public QObject {
public:
    // `devices` become the first port numbers, in their order; `keptDevice`,
    // one of them, is kept connected (tavlun --connect).
    Session(ui::MainWindow &window, keystrokes::KeyInjector &injector, const QStringList &devices = {},
            const QString &keptDevice = {});

    core::PortConnection &connection() { return connection_; }
    // The program ends: the port is closed and stays closed.
    void close() { connection_.windowClosing(); }
    // The program ends without unwinding (Qt's way when the display is
    // lost): the port is closed and its thread stopped, so that nothing runs
    // on as the process goes.
    void stop()
    {
        close();
        portThread_.stop();
    }
    core::PortControl &port() { return port_; }
    // Feeds bytes to the dialogue on the calling thread, as if the port had
    // read them; only while no port is open (for measuring).
    void receive(std::string_view bytes) { portThread_.dialogue().receive(bytes); }

private:
    ui::MainWindow &window_;
    serial::SystemPorts ports_;
    serial::DeviceWatch watch_;
    core::LinkEventQueue events_;
    PortThread portThread_;
    CrossThreadPort port_;
    core::OutputDelivery delivery_;
    core::PortConnection connection_;
};

} // namespace tavlun::app
