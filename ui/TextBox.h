#pragma once

#include <QPlainTextEdit>

namespace tavlun::ui {

// A multi-line, word-wrapped text box that takes characters at its end at a
// cost that does not grow with the text already there.
//
// A plain text edit lays out a whole paragraph again at every change, and
// the accessory never ends a paragraph, so the text would be one ever
// longer paragraph. Instead, once the last paragraph grows long, it is cut
// where its last wrapped line begins: the cut changes nothing on screen (the
// box has a fixed width), and it is a soft break that the text, the
// clipboard and Backspace and Delete do not see.
class TextBox final : public QPlainTextEdit {
    Q_OBJECT

public:
    // The last paragraph is cut once it is longer than this.
    static constexpr int kSoftParagraphLength = 1024;

    explicit TextBox(QWidget *parent = nullptr);

    // Appends at the end and puts the caret there, with nothing selected.
    void appendAtEnd(const QString &text);
    // The text as typed, without soft breaks.
    QString text() const;

protected:
    QMimeData *createMimeDataFromSelection() const override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void cutLongLastParagraph();
    QString textBetween(int from, int to) const;
};

} // namespace tavlun::ui
