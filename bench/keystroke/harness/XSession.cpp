#include "XSession.h"

#include <QByteArray>

#include <X11/Xlib.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern char **environ;

namespace tavlun::test {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

int remainingMs(Clock::time_point end)
{
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until the descriptor is readable or the deadline passes.
bool waitReadable(int fd, Clock::time_point end)
{
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int n = poll(&p, 1, remainingMs(end));
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

std::vector<std::string> environmentWithDisplay(const std::string &display)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0)
            continue;
        env.push_back(entry);
    }
    if (!display.empty())
        env.push_back("DISPLAY=" + display);
    return env;
}

} // namespace

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string> &argv,
                                                  const std::string &display, bool captureOutput,
                                                  int extraFd, bool keepStderr)
{
    int pipeFds[2] = {-1, -1};
    if (captureOutput && pipe2(pipeFds, O_CLOEXEC) != 0)
        return nullptr;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (captureOutput)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (!keepStderr)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (extraFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, extraFd, 9);
    // Nothing else of ours leaks into the child.
    posix_spawn_file_actions_addclosefrom_np(&actions, extraFd >= 0 ? 10 : 3);

    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    const std::vector<std::string> env = environmentWithDisplay(display);
    std::vector<char *> envp;
    for (const std::string &e : env)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);

    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (captureOutput)
        close(pipeFds[1]);
    if (rc != 0) {
        if (captureOutput)
            close(pipeFds[0]);
        return nullptr;
    }
    std::unique_ptr<ChildProcess> child(new ChildProcess);
    child->pid_ = pid;
    child->pidFd_ = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    child->output_ = captureOutput ? pipeFds[0] : -1;
    return child;
}

ChildProcess::~ChildProcess()
{
    stop();
    if (output_ >= 0)
        close(output_);
}

std::optional<int> ChildProcess::waitForExit(milliseconds deadline)
{
    if (pid_ <= 0)
        return std::nullopt;
    const auto end = Clock::now() + deadline;
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            if (pidFd_ >= 0)
                close(pidFd_);
            pidFd_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (r < 0 && errno != EINTR)
            return std::nullopt;
        if (Clock::now() >= end)
            return std::nullopt;
        // The pidfd becomes readable when the process ends.
        if (pidFd_ >= 0)
            waitReadable(pidFd_, end);
        else
            poll(nullptr, 0, 5);
    }
}

void ChildProcess::stop()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    if (!waitForExit(milliseconds(3000))) {
        kill(pid_, SIGKILL);
        waitForExit(milliseconds(3000));
    }
}

std::optional<std::string> LineReader::readLine(milliseconds deadline)
{
    const auto end = Clock::now() + deadline;
    for (;;) {
        const auto newline = buffer_.find('\n');
        if (newline != std::string::npos) {
            std::string line = buffer_.substr(0, newline);
            buffer_.erase(0, newline + 1);
            return line;
        }
        if (!waitReadable(fd_, end))
            return std::nullopt;
        char chunk[4096];
        const ssize_t n = read(fd_, chunk, sizeof chunk);
        if (n == 0)
            return std::nullopt;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return std::nullopt;
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

XSession::XSession(const std::string &recorderPath)
{
    if (startServer() && startWindowManager())
        startRecorder(recorderPath);
}

XSession::~XSession()
{
    recorder_.reset();
    if (control_)
        XCloseDisplay(control_);
    // The server goes before the window manager: after many keymap changes
    // openbox can be busy for seconds re-reading the map, and it ends at
    // once when its connection is gone.
    server_.reset();
    windowManager_.reset();
}

bool XSession::startServer()
{
    // Xvfb picks a free display number itself and writes it to descriptor 9
    // once it accepts connections.
    int fds[2] = {-1, -1};
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error_ = "pipe failed";
        return false;
    }
    server_ = ChildProcess::start({"Xvfb", "-displayfd", "9", "-nolisten", "tcp", "-noreset",
                                   "-screen", "0", "640x480x24"},
                                  std::string(), false, fds[1]);
    close(fds[1]);
    if (!server_) {
        close(fds[0]);
        error_ = "cannot start Xvfb";
        return false;
    }
    LineReader reader(fds[0]);
    const auto number = reader.readLine(milliseconds(15000));
    close(fds[0]);
    if (!number || number->empty()) {
        error_ = "Xvfb did not report a display within 15 s";
        return false;
    }
    displayName_ = ":" + *number;
    control_ = XOpenDisplay(displayName_.c_str());
    if (!control_) {
        error_ = "cannot connect to Xvfb on " + displayName_;
        return false;
    }
    return true;
}

bool XSession::startWindowManager()
{
    windowManager_ = ChildProcess::start({"openbox", "--sm-disable"}, displayName_, false);
    if (!windowManager_) {
        error_ = "cannot start openbox";
        return false;
    }
    // A window manager owns the WM_S0 selection once it manages screen 0.
    const Atom selection = XInternAtom(control_, "WM_S0", False);
    const auto end = Clock::now() + milliseconds(15000);
    while (XGetSelectionOwner(control_, selection) == None) {
        if (Clock::now() >= end || windowManager_->waitForExit(milliseconds(10))) {
            error_ = "openbox did not take over the screen";
            return false;
        }
    }
    return true;
}

bool XSession::startRecorder(const std::string &recorderPath)
{
    recorder_ = ChildProcess::start({recorderPath}, displayName_, true, -1, true);
    if (!recorder_) {
        error_ = "cannot start " + recorderPath;
        return false;
    }
    recorderOutput_ = std::make_unique<LineReader>(recorder_->outputFd());
    const auto end = Clock::now() + milliseconds(15000);
    for (;;) {
        const auto line = recorderOutput_->readLine(milliseconds(remainingMs(end)));
        if (!line) {
            error_ = "the key recorder did not get the focus";
            return false;
        }
        if (*line == "ready")
            return true;

    }
}

bool XSession::run(const std::vector<std::string> &argv, milliseconds deadline)
{
    auto child = ChildProcess::start(argv, displayName_, false, -1, true);
    if (!child)
        return false;
    const auto status = child->waitForExit(deadline);
    return status && *status == 0;
}

bool XSession::setLayout(const std::string &layout)
{
    return run({"setxkbmap", layout}, milliseconds(15000));
}

std::optional<RecordedKey> XSession::nextKey(milliseconds deadline)
{
    if (!recorderOutput_)
        return std::nullopt;
    const auto end = Clock::now() + deadline;
    for (;;) {
        const auto line = recorderOutput_->readLine(milliseconds(remainingMs(end)));
        if (!line)
            return std::nullopt;
        RecordedKey key;
        char text[160] = {};
        if (std::sscanf(line->c_str(), "key %lld %u %x %lx %159s", &key.receivedNs, &key.keycode,
                        &key.state, &key.keysym, text)
            != 5)
            continue;
        if (std::strcmp(text, "-") != 0)
            key.text = QString::fromUtf8(QByteArray::fromHex(QByteArray(text)));
        key.line = *line;
        return key;
    }
}

std::vector<RecordedKey> XSession::waitForKeys(std::size_t count, milliseconds deadline)
{
    std::vector<RecordedKey> keys;
    const auto end = Clock::now() + deadline;
    while (keys.size() < count) {
        auto key = nextKey(milliseconds(remainingMs(end)));
        if (!key)
            break;
        keys.push_back(std::move(*key));
    }
    return keys;
}

} // namespace tavlun::test
