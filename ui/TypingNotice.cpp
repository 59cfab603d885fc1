#include "TypingNotice.h"

#include <QMessageBox>

namespace tavlun::ui {

TypingNotice::TypingNotice(link::KeyInjector &inner, QString unavailableReason)
    : inner_(inner), reason_(std::move(unavailableReason))
{
    inner_.onProblem = [this](const QString &problem) {
        if (!toldProblems_.contains(problem)) {
            toldProblems_.insert(problem);
            tell(problem);
        }
    };
}

QString TypingNotice::noticeText(const QString &reason)
{
    return QStringLiteral("Diğer uygulamalara tuş gönderilemiyor: %1\n\n"
                          "Typing into other applications is unavailable: %1\n\n"
                          "Tavlun penceresi açıkken karakterler kendi metin kutusuna yazılır.")
        .arg(reason);
}

bool TypingNotice::sendKeys(const QString &keyString)
{
    if (inner_.sendKeys(keyString))
        return true;
    if (!told_ && !reason_.isEmpty()) {
        told_ = true;
        tell(noticeText(reason_));
    }
    return false;
}

void TypingNotice::tell(const QString &text)
{
    // Not modal: the receive flow must not stop for it.
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavlun"), text,
                                QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

} // namespace tavlun::ui
