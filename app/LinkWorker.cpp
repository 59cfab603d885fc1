#include "LinkWorker.h"

#include <QThread>
#include <QTimer>

#include <chrono>
#include <type_traits>
#include <utility>

namespace tavlun::app {

namespace {
using namespace std::chrono_literals;
// How long after the first waiting request the window is told.
constexpr auto kNotifyDelay = 1ms;
} // namespace

LinkWorker::LinkWorker()
    : thread_(new QThread),
      port_(new serial::SerialPort),
      notifyTimer_(new QTimer(port_)),
      intake_(*this)
{
    // The window is told that requests wait a moment after the answer has
    // gone: waking the user-interface thread costs the worker tens of
    // microseconds, which would otherwise keep the processor from the
    // accessory's side as it reads the answer.
    notifyTimer_->setSingleShot(true);
    notifyTimer_->setTimerType(Qt::PreciseTimer);
    notifyTimer_->setInterval(kNotifyDelay);
    connect(notifyTimer_, &QTimer::timeout, this, &LinkWorker::requestsWaiting,
            Qt::DirectConnection);
    port_->moveToThread(thread_); // the timer goes with it
    connect(port_, &serial::SerialPort::received, this,
            [this](const QByteArray &bytes) { intake_.receive(bytes); }, Qt::DirectConnection);
    connect(port_, &serial::SerialPort::deviceLost, this, &LinkWorker::deviceLost,
            Qt::DirectConnection);
    thread_->setObjectName(QStringLiteral("link"));
    thread_->start();
}

LinkWorker::~LinkWorker()
{
    // Destroyed on its own thread as that thread finishes.
    port_->deleteLater();
    thread_->quit();
    thread_->wait();
    delete thread_;
}

// Runs f on the worker's thread and returns its result.
template <typename F> auto LinkWorker::onWorker(F &&f) const
{
    using Result = decltype(f());
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(port_, std::forward<F>(f), Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(port_, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

bool LinkWorker::open(const QString &device)
{
    return onWorker([&] {
        const bool opened = port_->open(device);
        if (opened)
            intake_.clearBuffer();
        return opened;
    });
}

void LinkWorker::close()
{
    onWorker([this] { port_->close(); });
}

bool LinkWorker::isOpen() const
{
    return onWorker([this] { return port_->isOpen(); });
}

QString LinkWorker::lastErrorText() const
{
    return onWorker([this] { return port_->lastErrorText(); });
}

void LinkWorker::CiktiGonder(const QString &token, bool clear)
{
    // Lines that deliver nothing ask nothing of the window.
    if (!token.isEmpty() || clear)
        queue({Request::Delivery, token, clear});
}

void LinkWorker::queue(Request request)
{
    bool first = false;
    {
        QMutexLocker lock(&mutex_);
        first = requests_.empty();
        requests_.push_back(std::move(request));
    }
    if (!first)
        return;
    if (QThread::currentThread() == thread_)
        notifyTimer_->start();
    else
        emit requestsWaiting(); // fed by hand, not by the port
}

std::vector<LinkWorker::Request> LinkWorker::takeRequests()
{
    QMutexLocker lock(&mutex_);
    return std::exchange(requests_, {});
}

} // namespace tavlun::app
