#include "Session.h"

#include "ui/MainWindow.h"

namespace tavlun::app {

Session::Session(ui::MainWindow &window, link::KeyInjector &injector, const QStringList &devices)
    : window_(window),
      map_(devices),
      watch_(devices),
      delivery_(window, injector),
      intake_(*this),
      connection_(port_, map_, window)
{
    connect(&port_, &serial::SerialPort::received, this,
            [this](const QByteArray &bytes) { intake_.receive(bytes); });
    // Queued: the port reports a lost device from inside its own error
    // handling, where it must not be closed.
    connect(&port_, &serial::SerialPort::deviceLost, this, [this] { connection_.deviceLost(); },
            Qt::QueuedConnection);
    connect(&window, &ui::MainWindow::portPicked, this, [this] { connection_.portPicked(); });
    connect(&window, &ui::MainWindow::disconnectClicked, this,
            [this] { connection_.disconnectClicked(); });
    connect(&window, &ui::MainWindow::closing, this, [this] { connection_.unload(); });
    connection_.onConnected = [this] { intake_.clearBuffer(); };
    // The list is probed afresh when the user opens it, and when devices
    // come or go while it is closed.
    connect(&window, &ui::MainWindow::portListOpening, this, [this] { connection_.refreshList(); });
    connect(&watch_, &serial::DeviceWatch::devicesChanged, this, [this] {
        if (!window_.isPortListOpen())
            connection_.refreshList();
    });

    connection_.PortTara();
    intake_.clearBuffer();
}

void Session::addLogEntry(const QString &text)
{
    window_.addLogEntry(text);
}

void Session::setPrompt(const QString &text)
{
    window_.setPrompt(text);
}

} // namespace tavlun::app
