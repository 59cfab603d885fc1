#pragma once

#include "link/KeyInjector.h"
#include "link/LinkDisplay.h"
#include "link/OutputDelivery.h"

#include <QStringList>

namespace tavlun::test {

// Stand-ins for the main window that record what the link asks of them.

class RecordingLog final : public link::TrafficLog {
public:
    QStringList entries;
    int selected = -1;

    void addEntry(const QString &text) override { entries << text; }
    int entryCount() const override { return static_cast<int>(entries.size()); }
    void removeFirstEntries(int count) override
    {
        entries.remove(0, count);
        if (selected >= 0)
            selected = selected >= count ? selected - count : -1;
    }
    void selectEntry(int row) override { selected = row; }
};

class RecordingPrompt final : public link::StatusPrompt {
public:
    QString text = QStringLiteral(" Port Seçip cihazı bağlayın...");
    int changes = 0;

    void setPrompt(const QString &prompt) override
    {
        text = prompt;
        ++changes;
    }
};

class RecordingTarget final : public link::DeliveryTarget {
public:
    bool normal = true;
    QString text;
    int focusRequests = 0;
    mutable int stateQueries = 0;
    QStringList events; // "focus", "append <text>"

    bool isNormalState() const override
    {
        ++stateQueries;
        return normal;
    }
    void focusTextBox() override
    {
        ++focusRequests;
        events << QStringLiteral("focus");
    }
    void appendToTextBox(const QString &token) override
    {
        text += token;
        events << QStringLiteral("append ") + token;
    }
    void backspaceInTextBox() override
    {
        text.chop(1);
        events << QStringLiteral("backspace");
    }
};

class RecordingInjector final : public link::KeyInjector {
public:
    QStringList sent;
    bool succeed = true;

    bool sendKeys(const QString &keyString) override
    {
        sent << keyString;
        return succeed;
    }
};

} // namespace tavlun::test
