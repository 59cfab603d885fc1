#include "TypingNotice.h"

#include <QMessageBox>

namespace tavlun::ui {

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
        // Not modal: the receive flow must not stop for it.
        auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavlun"),
                                    noticeText(reason_), QMessageBox::Ok, parent_);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        box->show();
    }
    return false;
}

} // namespace tavlun::ui
