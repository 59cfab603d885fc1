#pragma once

#include <QString>

class QWidget;

namespace tavlun::ui {

// The desktop's "open" request: hands a target such as "http://host" or
// "mailto:address" to the program that the desktop has for it (the web
// browser, the mail program).
class DesktopShell {
public:
    virtual ~DesktopShell() = default;

    // `parent` is the window that asks. Whether the target opened is not
    // reported: a desktop without a handler simply does nothing.
    virtual void open(QWidget *parent, const QString &target) = 0;
};

// The desktop shell through QDesktopServices.
class QtDesktopShell final : public DesktopShell {
public:
    void open(QWidget *parent, const QString &target) override;
};

} // namespace tavlun::ui
