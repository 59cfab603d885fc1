#include "Pty.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace tavlun::test {

Pty::Pty()
{
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&controller_, &device_, name, &raw, nullptr) != 0) {
        controller_ = device_ = -1;
        return;
    }
    path_ = QString::fromLocal8Bit(name);
    fcntl(controller_, F_SETFL, fcntl(controller_, F_GETFL) | O_NONBLOCK);
    // Child processes must not keep the line up after the test hangs it up.
    fcntl(controller_, F_SETFD, FD_CLOEXEC);
    fcntl(device_, F_SETFD, FD_CLOEXEC);
}

Pty::~Pty()
{
    closeController();
    closeDevice();
}

bool Pty::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(controller_, bytes.constData() + done,
                                  static_cast<size_t>(bytes.size() - done));
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                pollfd p{controller_, POLLOUT, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            return false;
        }
        done += n;
    }
    return true;
}

QByteArray Pty::readAtLeast(qsizetype count, std::chrono::milliseconds deadline)
{
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    while (out.size() < count && timer.elapsed() < deadline.count()) {
        // Let the program under test, which may share this thread, run.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{controller_, POLLIN, 0};
        if (::poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
            char buffer[4096];
            const ssize_t n = ::read(controller_, buffer, sizeof buffer);
            if (n > 0)
                out.append(buffer, n);
        }
    }
    return out;
}

void Pty::closeController()
{
    if (controller_ >= 0)
        ::close(controller_);
    controller_ = -1;
}

void Pty::closeDevice()
{
    if (device_ >= 0)
        ::close(device_);
    device_ = -1;
}

} // namespace tavlun::test
