#include "Session.h"

#include "ui/MainWindow.h"

namespace tavlun::app {

Session::Session(ui::MainWindow &window, keystrokes::KeyInjector &injector, const QStringList &devices,
                 const QString &keptDevice)
    : window_(window),
      ports_(devices),
      watch_(devices),
      // Woken on the port's thread; the events are taken on the window's.
      events_([this] {
          QMetaObject::invokeMethod(this, [this] { events_.dispatchWaiting(window_, delivery_); },
                                    Qt::QueuedConnection);
      }),
      portThread_(events_),
      port_(portThread_),
      delivery_(window, injector),
      connection_(port_, ports_, window)
{
    // Before the user's own input reaches the text box, everything that
    // arrived before it is shown.
    window.setUpdateSource([this] { events_.dispatchWaiting(window_, delivery_); });
    // Queued: the port reports a lost device from inside its own error
    // handling, where it must not be closed.
    connect(&portThread_.port(), &serial::SerialPort::deviceLost, this,
            [this] { connection_.deviceLost(); }, Qt::QueuedConnection);
    connect(&window, &ui::MainWindow::portPicked, this, [this] { connection_.portPicked(); });
    connect(&window, &ui::MainWindow::disconnectClicked, this,
            [this] { connection_.disconnectClicked(); });
    connect(&window, &ui::MainWindow::closing, this, [this] { connection_.windowClosing(); });
    // The list is probed afresh when the user opens it, and when devices
    // come or go while it is closed.
    connect(&window, &ui::MainWindow::portListOpening, this, [this] { connection_.refreshList(); });
    connect(&watch_, &serial::DeviceWatch::devicesChanged, this, [this] {
        if (!window_.isPortListOpen())
            connection_.refreshList();
    });

    // A backend that must ask the desktop for permission asks once the
    // user has connected, not at the first key.
    connection_.onConnected = [&injector] { injector.prepare(); };
    connection_.onKeptDeviceHeld = [this](const std::string &device) {
        watch_.watchForRelease(QString::fromStdString(device));
    };

    connection_.keepConnected(keptDevice.toStdString());
    connection_.refreshList();
}

} // namespace tavlun::app
