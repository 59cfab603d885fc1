#include "KdeKeyboardLayouts.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace tavlun::keystrokes {

namespace {

const QString kService = QStringLiteral("org.kde.keyboard");
const QString kPath = QStringLiteral("/Layouts");
const QString kInterface = QStringLiteral("org.kde.KeyboardLayouts");
constexpr int kAskTimeoutMs = 2000;

QDBusMessage askLayoutInUse()
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("getLayout"));
}

} // namespace

KdeKeyboardLayouts::KdeKeyboardLayouts(const QDBusConnection &bus, std::function<void(unsigned)> onLayoutInUse)
    : bus_(bus), onLayoutInUse_(std::move(onLayoutInUse))
{
    // Listening first, so that a switch just after the answer is not lost;
    // the signals come from whoever owns the name, also once a second
    // layout makes KWin offer it.
    bus_.connect(kService, kPath, kInterface, QStringLiteral("layoutChanged"), this,
                 SLOT(onLayoutChanged(uint)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("layoutListChanged"), this,
                 SLOT(onLayoutListChanged()));
    // Answered at once: by KWin, or by the bus when nothing owns the name.
    const QDBusPendingReply<uint> reply = bus_.call(askLayoutInUse(), QDBus::Block, kAskTimeoutMs);
    if (reply.isValid())
        onLayoutInUse_(reply.value());
}

void KdeKeyboardLayouts::onLayoutChanged(uint index)
{
    onLayoutInUse_(index);
}

// A new list may put the layout in use at another index without a word.
void KdeKeyboardLayouts::onLayoutListChanged()
{
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(askLayoutInUse()), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *answered) {
        answered->deleteLater();
        const QDBusPendingReply<uint> reply = *answered;
        if (reply.isValid())
            onLayoutInUse_(reply.value());
    });
}

} // namespace tavlun::keystrokes
