#pragma once

#include "link/KeyInjector.h"

#include <QPointer>
#include <QWidget>

namespace tavlun::ui {

// Passes keys on to the system's injector. When typing into other
// applications is unavailable, the user is told so once, with the reason,
// the first time a key would have been typed.
class TypingNotice final : public link::KeyInjector {
public:
    TypingNotice(link::KeyInjector &inner, QString unavailableReason)
        : inner_(inner), reason_(std::move(unavailableReason)) {}

    void setParentWindow(QWidget *window) { parent_ = window; }
    bool sendKeys(const QString &keyString) override;

    static QString noticeText(const QString &reason);

private:
    link::KeyInjector &inner_;
    QString reason_;
    QPointer<QWidget> parent_;
    bool told_ = false;
};

} // namespace tavlun::ui
