#pragma once

#include "link/CommandIntake.h"
#include "link/OutputDelivery.h"
#include "serial/DeviceWatch.h"
#include "serial/PortMap.h"
#include "serial/SerialPort.h"
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

// Wires a connection: owns the serial port, the accessory link and
// delivery, feeds every read of the port to the link, writes its answers
// and passes what it shows to the main window. Construction runs the rest
// of the start-up sequence: the port probe and the empty receive buffer.
class Session final : public QObject, private link::LinkOutput {
public:
    // `devices` become the first port numbers, in their order.
    Session(ui::MainWindow &window, link::KeyInjector &injector, const QStringList &devices = {});

    serial::SerialPort &port() { return port_; }
    ui::PortConnection &connection() { return connection_; }
    link::CommandIntake &intake() { return intake_; }

private:
    // link::LinkOutput
    void writeAnswer(QByteArrayView bytes) override { port_.write(bytes); }
    void addLogEntry(const QString &text) override;
    void setPrompt(const QString &text) override;
    void focusStep() override { delivery_.focusStep(); }
    void CiktiGonder(const QString &token, bool clear) override { delivery_.CiktiGonder(token, clear); }

    ui::MainWindow &window_;
    serial::PortMap map_;
    serial::DeviceWatch watch_;
    serial::SerialPort port_;
    link::OutputDelivery delivery_;
    link::CommandIntake intake_;
    ui::PortConnection connection_;
};

} // namespace tavlun::app
