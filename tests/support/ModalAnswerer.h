#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace tavlun::test {

// Answers the message boxes that the code under test opens, recording each
// one, so that no test ever waits on a modal dialog.
class ModalAnswerer final : public QObject {
    Q_OBJECT

public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QStringList buttonTexts;
    };

    // Every box that opens is answered with the next of `answers`; when they
    // run out, with the last one.
    explicit ModalAnswerer(QList<QMessageBox::StandardButton> answers = {QMessageBox::Yes});
    ~ModalAnswerer() override;

    void setAnswers(QList<QMessageBox::StandardButton> answers) { answers_ = std::move(answers); }
    const QList<Seen> &seen() const { return seen_; }

private:
    void poll();

    QList<QMessageBox::StandardButton> answers_;
    QList<Seen> seen_;
    QTimer timer_;
};

} // namespace tavlun::test
