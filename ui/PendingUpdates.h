#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <vector>

class QLabel;
class QListWidget;

namespace tavlun::ui {

class TextBox;

// What the link asks the main window to show, applied at most once a frame:
// a burst of lines costs one layout and one painting.
// Everything is applied in the order it was asked for. Before the user's
// own input reaches the text box, everything pending is applied, so typed
// and received characters keep the order in which they happened.
class PendingUpdates final : public QObject {
public:
    // The traffic log keeps at most this many entries; beyond it the oldest
    // go, kTrimBatch at a time.
    static constexpr int kMaxLogEntries = 32766;
    static constexpr int kTrimBatch = 2048;

    PendingUpdates(QListWidget &log, QLabel &prompt, TextBox &textBox);

    // Each waits for the next frame, or the next flush.
    void addLogEntry(const QString &text);
    void setPrompt(const QString &text);
    void appendText(const QString &text);
    void backspace();
    void focusTextBox();

    // Called at the start of every flush, to take in what waits elsewhere.
    void setSource(std::function<void()> source) { source_ = std::move(source); }
    // Applies everything pending now.
    void flush();
    // Forgets everything pending, also what waits elsewhere (the controls
    // are about to be cleared).
    void discard();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Makes the next frame flush.
    void schedule();

    QListWidget &log_;
    QLabel &prompt_;
    TextBox &textBox_;
    QTimer timer_;
    std::function<void()> source_;
    bool flushing_ = false;

    QStringList logEntries_;
    QString promptText_;
    bool promptPending_ = false;
    bool focusPending_ = false;
    // Text to append to the text box; an empty entry is one Backspace.
    std::vector<QString> textOps_;
};

} // namespace tavlun::ui
