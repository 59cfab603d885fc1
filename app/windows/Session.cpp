#include "Session.h"

namespace tavlun::app::windows {

Session::Session(ui::windows::MainWindow &window, keystrokes::KeyInjector &injector)
    : window_(window),
      events_([&window] { window.postLinkEvents(); }),
      link_(events_, [&window] { window.postDeviceLost(); }),
      catalog_([this] { return link_.lastOpenError(); }),
      delivery_(window, injector),
      listing_(window, catalog_, link_),
      connection_(link_, catalog_, listing_)
{
    window.setHandlers({
        .portPicked = [this] { connection_.portPicked(); },
        .portListOpening = [this] { connection_.refreshList(); },
        .disconnectClicked = [this] { connection_.disconnectClicked(); },
        .closing = [this] { connection_.windowClosing(); },
        .devicesChanged = [this] { connection_.refreshList(); },
        .linkEventsWaiting = [this] { events_.dispatchWaiting(window_, delivery_); },
        .deviceLost = [this] { connection_.deviceLost(); },
    });
    // A backend that must ask for permission asks once a port is connected.
    connection_.onConnected = [&injector] { injector.prepare(); };
    connection_.probePorts();
}

} // namespace tavlun::app::windows
