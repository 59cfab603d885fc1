#include "LinkEventQueue.h"

#include <utility>
#include <variant>

namespace tavlun::core {

namespace {

template <typename... Handlers> struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
template <typename... Handlers> Overloaded(Handlers...) -> Overloaded<Handlers...>;

} // namespace

void LinkEventQueue::post(LinkEvent event)
{
    bool first = false;
    {
        const std::lock_guard lock(mutex_);
        first = events_.empty();
        events_.push_back(std::move(event));
    }
    if (first)
        wake_();
}

std::vector<LinkEvent> LinkEventQueue::takeAll()
{
    const std::lock_guard lock(mutex_);
    return std::exchange(events_, {});
}

void LinkEventQueue::dispatchWaiting(LinkView &window, OutputDelivery &delivery)
{
    const Overloaded handle{
        [&window](const LogEntry &entry) { window.addLogEntry(entry.text); },
        [&window](const PromptChange &prompt) { window.setPrompt(prompt.text); },
        [&delivery](const KeypadKeyDecoded &keypad) { delivery.deliverKeypadKey(keypad.key); },
    };
    for (const LinkEvent &event : takeAll())
        std::visit(handle, event);
}

} // namespace tavlun::core
