#include "TerminationSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tavlun::app {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int writeEnd = -1; // of the one instance's pipe; written from the handler

void onSignal(int number)
{
    const int saved = errno; // write() may change it under the interrupted code
    const auto byte = static_cast<unsigned char>(number);
    (void)!write(writeEnd, &byte, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals()
{
    // The handler only writes the signal's number into a pipe; the window's
    // thread reads it like any other event.
    if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    writeEnd = pipe_[1];
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kSignals)
        sigaction(number, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    for (const int number : kSignals)
        std::signal(number, SIG_DFL);
    for (const int fd : pipe_) {
        if (fd >= 0)
            close(fd);
    }
}

void TerminationSignals::readSignal()
{
    unsigned char number = 0;
    while (read(pipe_[0], &number, 1) == 1)
        emit received(number);
}

} // namespace tavlun::app
