#include "TypingNotice.h"

#include "QtLayout.h"
#include "ui/layout/MainWindowLayout.h"

#include <QMessageBox>

namespace tavlun::ui {

TypingNotice::TypingNotice(keystrokes::KeyInjector &inner, std::string unavailableReason)
    : inner_(inner), reason_(std::move(unavailableReason))
{
    inner_.onProblem = [this](const std::string &problem) {
        if (toldProblems_.insert(problem).second)
            tell(problem);
    };
}

bool TypingNotice::type(core::Key key)
{
    if (inner_.type(key))
        return true;
    if (!told_ && !reason_.empty()) {
        told_ = true;
        tell(layout::mainwindow::typingUnavailableNotice(reason_));
    }
    return false;
}

void TypingNotice::tell(const std::string &text)
{
    // Not modal: the link must not stop for it.
    auto *box = new QMessageBox(QMessageBox::Warning, qt(layout::mainwindow::kNoticeTitle), qt(text),
                                QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

} // namespace tavlun::ui
