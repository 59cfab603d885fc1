#pragma once

#include "keystrokes/KeyInjector.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <set>
#include <string>

namespace tavlun::ui {

// Passes keys on to the system's injector. When typing into other
// applications is unavailable, the user is told so once, with the reason,
// the first time a key would have been typed. Problems that the injector
// reports later are shown too, each distinct text once.
class TypingNotice final : public keystrokes::KeyInjector {
public:
    TypingNotice(keystrokes::KeyInjector &inner, std::string unavailableReason);
    ~TypingNotice() override { inner_.onProblem = nullptr; }

    void setParentWindow(QWidget *window) { parent_ = window; }
    bool type(core::Key key) override;
    void prepare() override { inner_.prepare(); }

private:
    // Shows a notice that does not hold up the link.
    void tell(const std::string &text);

    keystrokes::KeyInjector &inner_;
    std::string reason_;
    QPointer<QWidget> parent_;
    bool told_ = false;
    std::set<std::string> toldProblems_;
};

} // namespace tavlun::ui
