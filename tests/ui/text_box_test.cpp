#include "ui/TextBox.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

using tavlun::ui::TextBox;

namespace {

QString typed(int length, const QString &pattern)
{
    QString text;
    while (text.size() < length)
        text += pattern;
    text.truncate(length);
    return text;
}

class TextBoxTest : public ::testing::Test {
protected:
    TextBoxTest()
    {
        QFont font(QStringLiteral("Tahoma"));
        font.setPointSize(12);
        font.setBold(true);
        for (QPlainTextEdit *box : {static_cast<QPlainTextEdit *>(&box_), &reference_}) {
            box->setFont(font);
            box->resize(433, 89);
            box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            box->show();
        }
    }

    void type(const QString &text)
    {
        for (QChar c : text)
            box_.appendAtEnd(QString(c));
    }

    void press(Qt::Key key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&box_, &event);
    }

    TextBox box_;
    QPlainTextEdit reference_;
};

TEST_F(TextBoxTest, LongTextIsKeptWholeAcrossSoftBreaks)
{
    for (const QString &pattern : {QStringLiteral("KLAVYE TAVLUN {Yes} "), QStringLiteral("C")}) {
        box_.clear();
        const QString text = typed(6 * TextBox::kSoftParagraphLength, pattern);
        type(text);
        EXPECT_GT(box_.document()->blockCount(), 4) << "the paragraph was never cut";
        EXPECT_EQ(box_.text(), text);
        EXPECT_EQ(box_.textCursor().position(), box_.document()->characterCount() - 1);

        box_.selectAll();
        box_.copy();
        EXPECT_EQ(QApplication::clipboard()->text(), text) << "soft breaks reached the clipboard";
    }
}

// The text of every wrapped line on screen, in order.
QStringList screenLines(const QPlainTextEdit &box)
{
    QStringList lines;
    for (QTextBlock block = box.document()->firstBlock(); block.isValid(); block = block.next()) {
        box.document()->documentLayout()->blockBoundingRect(block); // lays it out
        const QTextLayout *layout = block.layout();
        for (int i = 0; i < layout->lineCount(); ++i)
            lines << block.text().mid(layout->lineAt(i).textStart(), layout->lineAt(i).textLength());
    }
    return lines;
}

TEST_F(TextBoxTest, SoftBreaksFallWhereTheLinesWrapAnyway)
{
    for (const QString &pattern : {QStringLiteral("MERHABA DÜNYA 2026, "), QStringLiteral("Ç")}) {
        box_.clear();
        const QString text = typed(4 * TextBox::kSoftParagraphLength + 37, pattern);
        type(text);
        reference_.setPlainText(text);
        ASSERT_GT(box_.document()->blockCount(), 1);
        const QStringList ours = screenLines(box_);
        EXPECT_EQ(ours, screenLines(reference_));
        EXPECT_GT(ours.size(), 20);
    }
}

TEST_F(TextBoxTest, BackspaceAndDeleteSeeNoSoftBreak)
{
    const QString text = typed(2 * TextBox::kSoftParagraphLength, QStringLiteral("ABC DEF "));
    type(text);
    const QTextBlock second = box_.document()->firstBlock().next();
    ASSERT_TRUE(second.isValid());
    // The document counts the break as a character; the typed text does not.
    const int breakAt = second.position();
    const int lastBeforeBreak = breakAt - 2;

    QTextCursor cursor = box_.textCursor();
    cursor.setPosition(breakAt);
    box_.setTextCursor(cursor);
    press(Qt::Key_Backspace);
    QString expected = text;
    expected.remove(lastBeforeBreak, 1);
    EXPECT_EQ(box_.text(), expected) << "Backspace must remove the character before the break";

    // The join keeps the text whole; a hard line break typed by the user
    // stays one.
    box_.appendAtEnd(QStringLiteral("\nX"));
    EXPECT_TRUE(box_.text().endsWith(QStringLiteral("\nX")));
}

} // namespace
