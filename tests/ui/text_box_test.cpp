// The text box keeps a long unbroken text cheap by cutting its paragraph
// where a line wraps anyway; the user sees, copies and edits one text.
#include "ui/TextBox.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

using tavlun::ui::TextBox;

namespace {

QString repeated(const QString &pattern, int length) { return pattern.repeated(length / pattern.size() + 1).left(length); }

// The text of every wrapped line on screen, in order.
QStringList screenLines(const QPlainTextEdit &box)
{
    QStringList lines;
    for (QTextBlock block = box.document()->firstBlock(); block.isValid(); block = block.next()) {
        box.document()->documentLayout()->blockBoundingRect(block); // lays it out
        for (int i = 0; i < block.layout()->lineCount(); ++i)
            lines << block.text().mid(block.layout()->lineAt(i).textStart(), block.layout()->lineAt(i).textLength());
    }
    return lines;
}

TEST(TextBox, LongTextWrapsCopiesAndEditsAsOneText)
{
    TextBox box;
    QPlainTextEdit reference;
    QFont font(QStringLiteral("Tahoma"), 12, QFont::Bold);
    for (QPlainTextEdit *edit : {static_cast<QPlainTextEdit *>(&box), &reference}) {
        edit->setFont(font);
        edit->resize(433, 89);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit->show();
    }
    for (const QString &pattern : {QStringLiteral("MERHABA DÜNYA {Yes} 2026, "), QStringLiteral("Ç")}) {
        box.clear();
        const QString text = repeated(pattern, 4 * TextBox::kSoftParagraphLength + 37);
        for (QChar c : text)
            box.appendAtEnd(QString(c));
        reference.setPlainText(text);
        ASSERT_GT(box.document()->blockCount(), 3) << "the paragraph was never cut";
        EXPECT_EQ(box.text(), text);
        EXPECT_EQ(screenLines(box), screenLines(reference)) << "a cut moved a line break";
        box.selectAll();
        box.copy();
        EXPECT_EQ(QApplication::clipboard()->text(), text) << "cuts reached the clipboard";
    }
    // Backspace just after a cut removes the character before it.
    QTextCursor cursor = box.textCursor();
    const int cut = box.document()->firstBlock().next().position();
    cursor.setPosition(cut);
    box.setTextCursor(cursor);
    QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QApplication::sendEvent(&box, &backspace);
    EXPECT_EQ(box.text().size(), 4 * TextBox::kSoftParagraphLength + 36);
    EXPECT_EQ(box.text().left(cut - 1), QString(cut - 1, u'Ç'));
    box.appendAtEnd(QStringLiteral("\nX"));
    EXPECT_TRUE(box.text().endsWith(QStringLiteral("\nX"))) << "a typed line break stays one";
}

} // namespace
