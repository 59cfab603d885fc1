#pragma once

#include <QString>

namespace tavlun::link {

// The traffic log of the main window: one entry per received line and one
// per answer.
class TrafficLog {
public:
    virtual ~TrafficLog() = default;

    virtual void addEntry(const QString &text) = 0;
    virtual int entryCount() const = 0;
    // Removes the oldest entries.
    virtual void removeFirstEntries(int count) = 0;
    // Selects (highlights) the entry at a zero-based row.
    virtual void selectEntry(int row) = 0;
};

// The one-line status prompt that follows the accessory's progress.
class StatusPrompt {
public:
    virtual ~StatusPrompt() = default;

    virtual void setPrompt(const QString &text) = 0;
};

} // namespace tavlun::link
