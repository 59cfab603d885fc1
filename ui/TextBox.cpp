#include "TextBox.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextLayout>

namespace tavlun::ui {

namespace {

// Block user state of a paragraph that a soft break ends.
constexpr int kSoftBreak = 1;

bool endsSoftly(const QTextBlock &block)
{
    return block.isValid() && block.userState() == kSoftBreak;
}

} // namespace

TextBox::TextBox(QWidget *parent) : QPlainTextEdit(parent) {}

void TextBox::appendAtEnd(const QString &text)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    cutLongLastParagraph();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
}

void TextBox::cutLongLastParagraph()
{
    const QTextBlock last = document()->lastBlock();
    if (last.length() <= kSoftParagraphLength)
        return;
    // Asking for the block's rectangle lays it out if it is not yet.
    document()->documentLayout()->blockBoundingRect(last);
    const QTextLayout *layout = last.layout();
    if (!layout || layout->lineCount() < 2)
        return;
    const int lastLineStart = layout->lineAt(layout->lineCount() - 1).textStart();
    QTextCursor cut(document());
    cut.setPosition(last.position() + lastLineStart);
    cut.insertBlock();
    cut.block().previous().setUserState(kSoftBreak);
}

QString TextBox::textBetween(int from, int to) const
{
    QString out;
    for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() <= to;
         block = block.next()) {
        const int start = block.position();
        const int end = start + block.length() - 1; // the paragraph separator
        const int first = qMax(from, start);
        const int past = qMin(to, end);
        out += block.text().mid(first - start, past - first); // first <= past always
        if (to > end && block.next().isValid() && !endsSoftly(block))
            out += u'\n';
    }
    return out;
}

QString TextBox::text() const
{
    return textBetween(0, document()->characterCount() - 1);
}

QMimeData *TextBox::createMimeDataFromSelection() const
{
    const QTextCursor cursor = textCursor();
    auto *mime = new QMimeData;
    mime->setText(textBetween(cursor.selectionStart(), cursor.selectionEnd()));
    return mime;
}

void TextBox::keyPressEvent(QKeyEvent *event)
{
    // Backspace just after a soft break, or Delete just before one, removes
    // the character beyond it, as it would without the break.
    QTextCursor cursor = textCursor();
    const bool plain = event->modifiers() == Qt::NoModifier && !cursor.hasSelection();
    const bool backspace = plain && event->key() == Qt::Key_Backspace && cursor.atBlockStart()
        && endsSoftly(cursor.block().previous());
    const bool del = plain && event->key() == Qt::Key_Delete && cursor.atBlockEnd()
        && endsSoftly(cursor.block());
    if (!backspace && !del) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    // The joined paragraph ends as the later of the two did: Qt keeps the
    // state of the paragraph whose end remains.
    cursor.beginEditBlock();
    if (backspace) {
        cursor.deletePreviousChar();
        cursor.deletePreviousChar();
    } else {
        cursor.deleteChar();
        cursor.deleteChar();
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
    event->accept();
}

} // namespace tavlun::ui
