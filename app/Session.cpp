#include "Session.h"

#include "ui/MainWindow.h"

namespace tavlun::app {

Session::Session(ui::MainWindow &window, link::KeyInjector &injector, const QStringList &devices)
    : window_(window),
      map_(devices),
      watch_(devices),
      delivery_(window, injector),
      connection_(worker_, map_, window)
{
    // Taken once a frame, at the window's update: a burst of lines costs
    // the user-interface thread one wake-up, not one a line.
    connect(&worker_, &LinkWorker::requestsWaiting, this, [this] { window_.scheduleUpdates(); },
            Qt::QueuedConnection);
    // Queued: the port reports a lost device from inside its own error
    // handling, where it must not be closed.
    connect(&worker_, &LinkWorker::deviceLost, this, [this] { connection_.deviceLost(); },
            Qt::QueuedConnection);
    connect(&window, &ui::MainWindow::portPicked, this, [this] { connection_.portPicked(); });
    connect(&window, &ui::MainWindow::disconnectClicked, this,
            [this] { connection_.disconnectClicked(); });
    connect(&window, &ui::MainWindow::closing, this, [this] { connection_.unload(); });
    // Before the user's own input reaches the text box, everything that
    // arrived before it is shown.
    window.setUpdateSource([this] { takeRequests(); });
    // A backend that must ask the desktop for permission asks once the
    // user has connected, not at the first key.
    connection_.onConnected = [&injector] { injector.prepare(); };
    // The list is probed afresh when the user opens it, and when devices
    // come or go while it is closed.
    connect(&window, &ui::MainWindow::portListOpening, this, [this] { connection_.refreshList(); });
    connect(&watch_, &serial::DeviceWatch::devicesChanged, this, [this] {
        if (!window_.isPortListOpen())
            connection_.refreshList();
    });

    connection_.PortTara();
}

void Session::takeRequests()
{
    for (const LinkWorker::Request &request : worker_.takeRequests()) {
        switch (request.kind) {
        case LinkWorker::Request::LogEntry:
            window_.addLogEntry(request.text);
            break;
        case LinkWorker::Request::Prompt:
            window_.setPrompt(request.text);
            break;
        case LinkWorker::Request::FocusStep:
            delivery_.focusStep();
            break;
        case LinkWorker::Request::Delivery:
            delivery_.CiktiGonder(request.text, request.clear);
            break;
        }
    }
}

} // namespace tavlun::app
