#pragma once

#include "link/KeyInjector.h"

#include <QPointer>
#include <QSet>
#include <QWidget>

namespace tavlun::ui {

// Passes keys on to the system's injector. When typing into other
// applications is unavailable, the user is told so once, with the reason,
// the first time a key would have been typed. Problems that the injector
// reports later are shown too, each distinct text once.
class TypingNotice final : public link::KeyInjector {
public:
    TypingNotice(link::KeyInjector &inner, QString unavailableReason);
    ~TypingNotice() override { inner_.onProblem = nullptr; }

    void setParentWindow(QWidget *window) { parent_ = window; }
    bool sendKeys(const QString &keyString) override;
    void prepare() override { inner_.prepare(); }

    static QString noticeText(const QString &reason);

private:
    // Shows a notice that does not hold up the receive flow.
    void tell(const QString &text);

    link::KeyInjector &inner_;
    QString reason_;
    QPointer<QWidget> parent_;
    bool told_ = false;
    QSet<QString> toldProblems_;
};

} // namespace tavlun::ui
