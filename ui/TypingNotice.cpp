#include "TypingNotice.h"

#include "DesktopShell.h"
#include "MainWindow.h"
#include "QtLayout.h"
#include "core/PortHelp.h"
#include "ui/layout/MainWindowLayout.h"

#include <QMessageBox>

#include <utility>

namespace tavlun::ui {

namespace look = layout::mainwindow;

TypingNotice::TypingNotice(keystrokes::KeyInjector &inner, MainWindow &mainWindow, DesktopShell &shell,
                           std::string unavailableReason)
    : inner_(inner), mainWindow_(mainWindow), shell_(shell), reason_(std::move(unavailableReason))
{
    inner_.onProblem = [this](const std::string &problem) {
        if (toldProblems_.insert(problem).second)
            tell(problem);
    };
    connect(&mainWindow_, &MainWindow::normalStateChanged, this, [this] {
        if (mainWindow_.isNormalState()) {
            for (const std::string &text : std::exchange(waiting_, {}))
                show(text);
        }
    });
}

bool TypingNotice::type(core::Key key)
{
    if (inner_.type(key))
        return true;
    if (!told_ && !reason_.empty()) {
        told_ = true;
        tell(look::typingUnavailableNotice(reason_));
    }
    return false;
}

void TypingNotice::tell(const std::string &text)
{
    core::tellUser(text);
    if (!mainWindow_.isNormalState()) {
        shell_.notify(qt(look::kNoticeTitle), qt(text));
        waiting_.push_back(text);
        return;
    }
    show(text);
}

void TypingNotice::show(const std::string &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, qt(look::kNoticeTitle), qt(text), QMessageBox::Ok,
                                &mainWindow_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

} // namespace tavlun::ui
