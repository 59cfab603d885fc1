#pragma once

#include "keystrokes/KeyInjector.h"

#include <QObject>

#include <set>
#include <string>
#include <vector>

namespace tavlun::ui {

class DesktopShell;
class MainWindow;

// Passes keys on to the system's injector. When typing into other
// applications is unavailable, the user is told so once, with the reason,
// the first time a key would have been typed. Problems that the injector
// reports later are told too, each distinct text once, in a window and on
// standard error.
//
// While the main window is not in its normal state (minimised, or hidden in
// the scratchpad), the keys go to another application: a window of the program's own would take
// the focus from it, and some desktops restore a minimised window when a
// window of its appears. So the notice then goes out as a desktop
// notification, and its window waits until the main window is back.
class TypingNotice final : public QObject, public keystrokes::KeyInjector {
public:
    // The notices belong to `mainWindow`.
    TypingNotice(keystrokes::KeyInjector &inner, MainWindow &mainWindow, DesktopShell &shell,
                 std::string unavailableReason);
    ~TypingNotice() override { inner_.onProblem = nullptr; }

    bool type(core::Key key) override;
    void prepare() override { inner_.prepare(); }

private:
    void tell(const std::string &text);
    // A window that does not hold up the link.
    void show(const std::string &text);

    keystrokes::KeyInjector &inner_;
    MainWindow &mainWindow_;
    DesktopShell &shell_;
    std::string reason_;
    bool told_ = false;
    std::set<std::string> toldProblems_;
    std::vector<std::string> waiting_; // for the main window's return
};

} // namespace tavlun::ui
