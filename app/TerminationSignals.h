#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace tavlun::app {

// Turns SIGTERM, SIGINT and SIGHUP (a logout, `systemctl --user stop`,
// Ctrl+C, a closed terminal) into a signal on the thread that makes this
// object, so that the program can end in order there. One at a time.
class TerminationSignals final : public QObject {
    Q_OBJECT

public:
    TerminationSignals();
    // The signals' default actions again.
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    void readSignal();

    int pipe_[2] = {-1, -1};
    QSocketNotifier *notifier_ = nullptr;
};

} // namespace tavlun::app
