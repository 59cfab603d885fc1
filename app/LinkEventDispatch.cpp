#include "LinkEventDispatch.h"

#include "LinkEventQueue.h"
#include "core/OutputDelivery.h"
#include "ui/MainWindow.h"

#include <variant>

namespace tavlun::app {

namespace {

template <typename... Handlers> struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

} // namespace

void LinkEventDispatch::dispatchWaiting()
{
    const Overloaded handle{
        [this](const core::LogEntry &entry) { window_.addLogEntry(entry.text); },
        [this](const core::PromptChange &prompt) { window_.setPrompt(prompt.text); },
        [this](const core::KeypadKeyDecoded &keypad) { delivery_.deliverKeypadKey(keypad.key); },
    };
    for (const core::LinkEvent &event : queue_.takeAll())
        std::visit(handle, event);
}

} // namespace tavlun::app
