#pragma once

#include "link/CommandIntake.h"
#include "serial/SerialPort.h"
#include "ui/PortConnection.h"

#include <QMutex>
#include <QObject>

#include <vector>

class QTimer;

namespace tavlun::app {

// The serial port and the accessory link on a thread of their own: every
// read goes straight into the link and its answer straight back to the
// port, so no window work ever delays an answer. What the link asks of the
// window is queued, in order, for the user-interface thread to take.
// The port operations may be called from any other thread; they run on the
// worker's thread and wait for it.
class LinkWorker final : public QObject, public ui::PortControl, private link::LinkOutput {
    Q_OBJECT

public:
    // One request of the link to the window.
    struct Request {
        enum Kind { LogEntry, Prompt, FocusStep, Delivery } kind;
        QString text;       // the entry, the prompt or the output token
        bool clear = false; // the clear flag of a delivery
    };

    LinkWorker();
    ~LinkWorker() override;

    // ui::PortControl. A successful open also empties the receive buffer.
    bool open(const QString &device) override;
    void close() override;
    bool isOpen() const override;
    QString lastErrorText() const override;

    // Takes the requests queued since the last call, in order.
    std::vector<Request> takeRequests();

    // Feeds bytes to the link as if the port had read them (for measuring).
    void receive(QByteArrayView bytes) { intake_.receive(bytes); }

signals:
    // Requests are waiting; sent once until they are taken, a moment after
    // the first of them.
    void requestsWaiting();
    // The open device went away.
    void deviceLost();

private:
    template <typename F> auto onWorker(F &&f) const;
    void queue(Request request);

    // link::LinkOutput
    void writeAnswer(QByteArrayView bytes) override { port_->write(bytes); }
    void addLogEntry(const QString &text) override { queue({Request::LogEntry, text}); }
    void setPrompt(const QString &text) override { queue({Request::Prompt, text}); }
    void focusStep() override { queue({Request::FocusStep, {}}); }
    void CiktiGonder(const QString &token, bool clear) override;

    QThread *thread_;
    serial::SerialPort *port_; // lives and dies on the worker's thread
    QTimer *notifyTimer_;      // a child of the port, on the worker's thread
    link::CommandIntake intake_;
    mutable QMutex mutex_;
    std::vector<Request> requests_;
};

} // namespace tavlun::app
