#include "LinkAdapters.h"

#include "TextBox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>

namespace tavlun::ui {

void ListTrafficLog::addEntry(const QString &text)
{
    list_.addItem(text);
}

int ListTrafficLog::entryCount() const
{
    return list_.count();
}

void ListTrafficLog::removeFirstEntries(int count)
{
    for (int i = 0; i < count && list_.count() > 0; ++i)
        delete list_.takeItem(0);
}

void ListTrafficLog::selectEntry(int row)
{
    list_.setCurrentRow(row);
}

void LabelPrompt::setPrompt(const QString &text)
{
    label_.setText(text);
}

bool TextBoxTarget::isNormalState() const
{
    return !(window_.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

void TextBoxTarget::focusTextBox()
{
    textBox_.setFocus(Qt::OtherFocusReason);
}

void TextBoxTarget::appendToTextBox(const QString &text)
{
    textBox_.appendAtEnd(text);
}

void TextBoxTarget::backspaceInTextBox()
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Backspace, Qt::NoModifier);
    QCoreApplication::sendEvent(&textBox_, &press);
    QCoreApplication::sendEvent(&textBox_, &release);
}

} // namespace tavlun::ui
