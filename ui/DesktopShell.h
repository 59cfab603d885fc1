#pragma once

#include <QString>

class QWidget;

namespace tavlun::ui {

// What the program asks of the desktop itself.
class DesktopShell {
public:
    virtual ~DesktopShell() = default;

    // The "open" request: hands a target such as "http://host" or
    // "mailto:address" to the program that the desktop has for it (the web
    // browser, the mail program). `parent` is the window that asks. Whether
    // the target opened is not reported: a desktop without a handler simply
    // does nothing.
    virtual void open(QWidget *parent, const QString &target) = 0;

    // Shows a notification, as the desktop shows them: beside whatever the
    // user is doing, taking neither the keyboard focus nor a window of the
    // program's to the front. Whether a notification service took it is not
    // reported.
    virtual void notify(const QString &summary, const QString &body) = 0;
};

// The desktop shell through QDesktopServices and the desktop's notification
// service (org.freedesktop.Notifications on the session bus).
class QtDesktopShell final : public DesktopShell {
public:
    void open(QWidget *parent, const QString &target) override;
    void notify(const QString &summary, const QString &body) override;
};

} // namespace tavlun::ui
