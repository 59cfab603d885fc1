#pragma once

#include <QString>

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using Display = struct _XDisplay;

namespace tavlun::test {

// A program started by the harness. Only this object ever signals it, by
// its pid.
class ChildProcess {
public:
    // Starts the program (looked up in PATH) with DISPLAY set to `display`.
    // With `captureOutput` its stdout goes to outputFd(), otherwise it is
    // discarded; `extraFd`, when not -1, is passed on as descriptor 9. Its
    // stderr is discarded unless `keepStderr`. Returns null when it cannot
    // be started.
    static std::unique_ptr<ChildProcess> start(const std::vector<std::string> &argv,
                                               const std::string &display, bool captureOutput,
                                               int extraFd = -1, bool keepStderr = false);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    pid_t pid() const { return pid_; }
    int outputFd() const { return output_; }
    // Waits for the program to end; its exit status, or nothing when it
    // still runs at the deadline (or was killed by a signal: -1).
    std::optional<int> waitForExit(std::chrono::milliseconds deadline);
    // Asks the program to end, and kills it when it has not after a while.
    void stop();
    bool running() const { return pid_ > 0; }

private:
    ChildProcess() = default;
    pid_t pid_ = -1;
    int pidFd_ = -1;
    int output_ = -1;
};

// A line-oriented reader of a descriptor, with deadlines.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}
    // The next line, or nothing at the deadline or end of input.
    std::optional<std::string> readLine(std::chrono::milliseconds deadline);

private:
    int fd_;
    std::string buffer_;
};

// One key press as the recorder client saw it.
struct RecordedKey {
    long long receivedNs = 0; // CLOCK_MONOTONIC when the harness read it
    unsigned keycode = 0;     // as the recorder's protocol numbers keys
    unsigned state = 0;
    unsigned long keysym = 0;
    QString text;
    std::string line;
};

// A private X server (Xvfb on a display it picks itself), a window manager
// (openbox) and the key recorder client holding the keyboard focus.
class XSession {
public:
    explicit XSession(const std::string &recorderPath);
    ~XSession();
    XSession(const XSession &) = delete;
    XSession &operator=(const XSession &) = delete;

    bool ok() const { return error_.empty(); }
    const std::string &error() const { return error_; }
    // ":N"
    const std::string &displayName() const { return displayName_; }
    // A connection of the harness's own, for holding keys and reading state.
    Display *control() const { return control_; }

    // Runs a program against this display and waits for it to succeed.
    bool run(const std::vector<std::string> &argv, std::chrono::milliseconds deadline);
    // setxkbmap <layout>, e.g. "us", "de" or "us,de".
    bool setLayout(const std::string &layout);

    // The next key press the recorder reports, skipping other lines.
    std::optional<RecordedKey> nextKey(std::chrono::milliseconds deadline);
    // Key presses until `count` have arrived or the deadline passes.
    std::vector<RecordedKey> waitForKeys(std::size_t count, std::chrono::milliseconds deadline);
    // The recorder's output, readable when it has reported something (for an
    // event loop to wait on; nextKey() reads it).
    int recorderFd() const { return recorder_ ? recorder_->outputFd() : -1; }

private:
    bool startServer();
    bool startWindowManager();
    bool startRecorder(const std::string &recorderPath);

    std::string error_;
    std::string displayName_;
    std::unique_ptr<ChildProcess> server_;
    std::unique_ptr<ChildProcess> windowManager_;
    std::unique_ptr<ChildProcess> recorder_;
    std::unique_ptr<LineReader> recorderOutput_;
    Display *control_ = nullptr;
};

} // namespace tavlun::test
