#include "Session.h"

#include <variant>

namespace tavlun::app::windows {

namespace {

template <typename... Handlers> struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

} // namespace

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
        .linkEventsWaiting = [this] { dispatchWaiting(); },
        .deviceLost = [this] { connection_.deviceLost(); },
    });
    // A backend that must ask for permission asks once a port is connected.
    connection_.onConnected = [&injector] { injector.prepare(); };
    connection_.probePorts();
}

void Session::dispatchWaiting()
{
    const Overloaded handle{
        [this](const core::LogEntry &entry) { window_.addLogEntry(entry.text); },
        [this](const core::PromptChange &prompt) { window_.setPrompt(prompt.text); },
        [this](const core::KeypadKeyDecoded &keypad) { delivery_.deliverKeypadKey(keypad.key); },
    };
    for (const core::LinkEvent &event : events_.takeAll())
        std::visit(handle, event);
}

} // namespace tavlun::app::windows
