#include "Port.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace tavlun::accessory {

namespace {

void makeRaw9600(termios &settings)
{
    cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB | CSIZE | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
}

std::string systemError(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

Port Port::openDevice(const std::string &path, std::string &error)
{
    Port port;
    port.fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (port.fd_ < 0) {
        error = systemError(("cannot open " + path).c_str());
        return Port();
    }
    termios settings{};
    if (::tcgetattr(port.fd_, &settings) != 0) {
        error = systemError((path + " is not a serial device").c_str());
        return Port();
    }
    makeRaw9600(settings);
    if (::tcsetattr(port.fd_, TCSANOW, &settings) != 0) {
        error = systemError(("cannot set 9600 8N1 on " + path).c_str());
        return Port();
    }
    ::tcflush(port.fd_, TCIOFLUSH);
    port.path_ = path;
    return port;
}

Port Port::openPty(std::string &error)
{
    Port port;
    termios settings{};
    makeRaw9600(settings);
    char name[256] = {};
    if (::openpty(&port.fd_, &port.device_, name, &settings, nullptr) != 0) {
        error = systemError("cannot make a pseudo-terminal");
        port.fd_ = port.device_ = -1;
        return Port();
    }
    ::fcntl(port.fd_, F_SETFL, ::fcntl(port.fd_, F_GETFL) | O_NONBLOCK);
    ::fcntl(port.fd_, F_SETFD, FD_CLOEXEC);
    ::fcntl(port.device_, F_SETFD, FD_CLOEXEC);
    port.path_ = name;
    port.pty_ = true;
    return port;
}

Port::Port(Port &&other) noexcept
    : fd_(std::exchange(other.fd_, -1)), device_(std::exchange(other.device_, -1)),
      path_(std::move(other.path_)), pty_(other.pty_)
{
}

Port &Port::operator=(Port &&other) noexcept
{
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        device_ = std::exchange(other.device_, -1);
        path_ = std::move(other.path_);
        pty_ = other.pty_;
    }
    return *this;
}

Port::~Port()
{
    close();
}

void Port::close()
{
    if (device_ >= 0)
        ::close(device_);
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = device_ = -1;
}

void Port::releaseDevice()
{
    if (device_ >= 0)
        ::close(device_);
    device_ = -1;
}

bool Port::peerPresent() const
{
    // The controller side reports a hang-up for as long as no descriptor of
    // the device side is open.
    pollfd p{fd_, 0, 0};
    if (::poll(&p, 1, 0) < 0)
        return false;
    return (p.revents & POLLHUP) == 0;
}

} // namespace tavlun::accessory
