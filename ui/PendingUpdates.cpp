#include "PendingUpdates.h"

#include "TextBox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>

#include <chrono>
#include <utility>

namespace tavlun::ui {

namespace {
using namespace std::chrono_literals;
// Window work waits at most this long: one frame at 60 Hz.
constexpr auto kFrame = 16ms;
} // namespace

PendingUpdates::PendingUpdates(QListWidget &log, QLabel &prompt, TextBox &textBox)
    : log_(log), prompt_(prompt), textBox_(textBox)
{
    // A flush stops the timer: it fires once a frame while updates wait.
    timer_.setInterval(kFrame);
    connect(&timer_, &QTimer::timeout, this, &PendingUpdates::flush);
    textBox_.installEventFilter(this);
    textBox_.viewport()->installEventFilter(this);
}

void PendingUpdates::schedule()
{
    if (!timer_.isActive())
        timer_.start();
}

void PendingUpdates::addLogEntry(const QString &text)
{
    logEntries_ << text;
    schedule();
}

void PendingUpdates::setPrompt(const QString &text)
{
    promptText_ = text;
    promptPending_ = true;
    schedule();
}

void PendingUpdates::appendText(const QString &text)
{
    if (!textOps_.empty() && !textOps_.back().isEmpty())
        textOps_.back() += text;
    else
        textOps_.push_back(text);
    schedule();
}

void PendingUpdates::backspace()
{
    textOps_.emplace_back();
    schedule();
}

void PendingUpdates::focusTextBox()
{
    focusPending_ = true;
    schedule();
}

void PendingUpdates::flush()
{
    if (flushing_)
        return;
    flushing_ = true;
    if (source_)
        source_();
    timer_.stop();
    if (!logEntries_.isEmpty()) {
        log_.addItems(logEntries_);
        logEntries_.clear();
        const int excess = log_.count() - kMaxLogEntries;
        if (excess > 0) {
            const int batch = (excess + kTrimBatch - 1) / kTrimBatch * kTrimBatch;
            log_.model()->removeRows(0, qMin(batch, log_.count()));
        }
        // The newest received line is the selected entry.
        log_.setCurrentRow(log_.count() - 2);
    }
    if (promptPending_) {
        promptPending_ = false;
        prompt_.setText(promptText_);
    }
    if (focusPending_) {
        focusPending_ = false;
        textBox_.setFocus(Qt::OtherFocusReason);
    }
    for (const QString &op : std::exchange(textOps_, {})) {
        if (!op.isEmpty()) {
            textBox_.appendAtEnd(op);
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Backspace, Qt::NoModifier);
        QCoreApplication::sendEvent(&textBox_, &press);
        QCoreApplication::sendEvent(&textBox_, &release);
    }
    flushing_ = false;
}

void PendingUpdates::discard()
{
    if (source_)
        source_();
    logEntries_.clear();
    promptPending_ = false;
    focusPending_ = false;
    textOps_.clear();
}

bool PendingUpdates::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::ContextMenu:
        flush();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tavlun::ui
