#include "PortThread.h"

namespace tavlun::app {

PortThread::PortThread(core::LinkEventQueue &events)
    : events_(events), port_(new serial::SerialPort), dialogue_(*this)
{
    port_->moveToThread(&thread_);
    QObject::connect(port_, &serial::SerialPort::received, port_,
                     [this](const QByteArray &bytes) {
                         dialogue_.receive(std::string_view(bytes.constData(), std::size_t(bytes.size())));
                     },
                     Qt::DirectConnection);
    thread_.setObjectName(QStringLiteral("port"));
    thread_.start();
}

PortThread::~PortThread()
{
    stop();
}

void PortThread::stop()
{
    if (!thread_.isRunning())
        return;
    run([this] { delete port_; });
    thread_.quit();
    thread_.wait();
}

void PortThread::writeAnswer(std::string_view bytes)
{
    port_->write(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

void PortThread::post(core::LinkEvent event)
{
    events_.post(std::move(event));
}

} // namespace tavlun::app
