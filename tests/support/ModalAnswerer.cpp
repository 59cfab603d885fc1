#include "ModalAnswerer.h"

#include <QAbstractButton>
#include <QApplication>

namespace tavlun::test {

ModalAnswerer::ModalAnswerer(QList<QMessageBox::StandardButton> answers)
    : answers_(std::move(answers))
{
    timer_.setInterval(1);
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::poll);
    timer_.start();
}

ModalAnswerer::~ModalAnswerer() = default;

void ModalAnswerer::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    QStringList texts;
    for (QAbstractButton *button : box->buttons())
        texts << button->text();
    seen_.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons(), texts});
    const QMessageBox::StandardButton answer =
        answers_.isEmpty() ? QMessageBox::Ok
                           : (seen_.size() <= answers_.size() ? answers_[seen_.size() - 1]
                                                              : answers_.back());
    if (QAbstractButton *button = box->button(answer))
        button->click();
    else
        box->reject();
}

} // namespace tavlun::test
