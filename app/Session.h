#pragma once

#include "LinkWorker.h"
#include "link/OutputDelivery.h"
#include "serial/DeviceWatch.h"
#include "serial/PortMap.h"
#include "ui/PortConnection.h"

#include <QObject>
#include <QStringList>

namespace tavlun::link {
class KeyInjector;
}
namespace tavlun::ui {
class MainWindow;
}

namespace tavlun::app {

// Wires a connection: owns the serial port and the accessory link (on
// their own thread), delivery and the port connection, and passes what the
// link asks of the window on to it, in order. Construction runs the rest of
// the start-up sequence: the port probe and the empty receive buffer.
class Session final : public QObject {
public:
    // `devices` become the first port numbers, in their order.
    Session(ui::MainWindow &window, link::KeyInjector &injector, const QStringList &devices = {});

    LinkWorker &link() { return worker_; }
    ui::PortConnection &connection() { return connection_; }

    // Passes on what the link has asked of the window so far.
    void takeRequests();

private:
    ui::MainWindow &window_;
    serial::PortMap map_;
    serial::DeviceWatch watch_;
    LinkWorker worker_;
    link::OutputDelivery delivery_;
    ui::PortConnection connection_;
};

} // namespace tavlun::app
