#pragma once

#include <QDBusConnection>
#include <QObject>

#include <functional>

namespace tavlun::keystrokes {

// The keyboard layout in use as KDE Plasma's KWin says it on the session bus
// (org.kde.keyboard, /Layouts): its index in the user's list, which is the
// group of the keymap that KWin gives its Wayland clients. KWin tells a
// client's keyboard the group only while the client has the keyboard focus,
// which a connection without a window never has. With one layout, KWin
// offers no such interface: that layout is in use.
class KdeKeyboardLayouts final : public QObject {
    Q_OBJECT

public:
    // Asks KWin on `bus` which layout is in use and calls `onLayoutInUse`
    // with the answer, when there is one, and again whenever it changes.
    KdeKeyboardLayouts(const QDBusConnection &bus, std::function<void(unsigned)> onLayoutInUse);

private slots:
    void onLayoutChanged(uint index);
    void onLayoutListChanged();

private:
    QDBusConnection bus_;
    std::function<void(unsigned)> onLayoutInUse_;
};

} // namespace tavlun::keystrokes
