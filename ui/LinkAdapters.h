#pragma once

#include "link/LinkDisplay.h"
#include "link/OutputDelivery.h"

class QLabel;
class QListWidget;
class QWidget;

namespace tavlun::ui {

class TextBox;

// The traffic log on a list widget.
class ListTrafficLog final : public link::TrafficLog {
public:
    explicit ListTrafficLog(QListWidget &list) : list_(list) {}

    void addEntry(const QString &text) override;
    int entryCount() const override;
    void removeFirstEntries(int count) override;
    void selectEntry(int row) override;

private:
    QListWidget &list_;
};

// The status prompt on a label.
class LabelPrompt final : public link::StatusPrompt {
public:
    explicit LabelPrompt(QLabel &label) : label_(label) {}

    void setPrompt(const QString &text) override;

private:
    QLabel &label_;
};

// The main window and its text box as output delivery sees them.
class TextBoxTarget final : public link::DeliveryTarget {
public:
    TextBoxTarget(QWidget &window, TextBox &textBox) : window_(window), textBox_(textBox) {}

    bool isNormalState() const override;
    void focusTextBox() override;
    void appendToTextBox(const QString &text) override;
    void backspaceInTextBox() override;

private:
    QWidget &window_;
    TextBox &textBox_;
};

} // namespace tavlun::ui
