#include "Dialogue.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace tavlun::accessory {

namespace {

constexpr std::string_view kAnswer = "OK\r\n";

bool isHangUp(int error)
{
    return error == EIO || error == EPIPE || error == ENXIO || error == ECONNRESET;
}

std::string printable(std::string_view bytes)
{
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\' || c == '"')
            out += std::string("\\") + c;
        else if (byte >= 0x20 && byte < 0x7F)
            out += c;
        else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        }
    }
    return out;
}

// Waits until `fd` is ready for `events` or the deadline comes: poll()'s
// result, or nothing when the deadline has already passed.
std::optional<int> pollBefore(int fd, short events, std::chrono::steady_clock::time_point deadline)
{
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline)
        return std::nullopt;
    const int timeout = deadline == std::chrono::steady_clock::time_point::max()
        ? -1
        : static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count());
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, timeout);
}

// The outcome of a read that returned `n` (0 or -1) and cannot go on.
void readFailed(ssize_t n, Exchange &result)
{
    result.outcome = n == 0 || isHangUp(errno) ? Outcome::HungUp : Outcome::Failed;
    result.detail = n == 0 ? "end of file" : std::strerror(errno);
}

} // namespace

std::vector<std::string> splitWrites(std::string_view command, const WriteShape &shape)
{
    std::vector<std::string> writes;
    const std::size_t chunk = shape.chunk == 0 ? std::max<std::size_t>(command.size(), 1)
                                               : shape.chunk;
    for (std::size_t at = 0; at < command.size(); at += chunk)
        writes.emplace_back(command.substr(at, chunk));
    if (shape.separateCr || writes.empty())
        writes.emplace_back("\r");
    else
        writes.back() += '\r';
    return writes;
}

bool AnswerScanner::feed(std::string_view bytes)
{
    seen_.append(bytes);
    if (seen_.find(kAnswer) != std::string::npos) {
        seen_.clear();
        return true;
    }
    // Keep only what could still grow into the answer.
    if (seen_.size() >= kAnswer.size())
        seen_.erase(0, seen_.size() - (kAnswer.size() - 1));
    return false;
}

Dialogue::Dialogue(int fd, WriteShape shape, std::FILE *trace)
    : fd_(fd), shape_(shape), trace_(trace)
{
}

Exchange Dialogue::exchange(std::string_view command, std::chrono::milliseconds timeout)
{
    Exchange result;
    const Clock::time_point deadline =
        timeout.count() == 0 ? Clock::time_point::max() : Clock::now() + timeout;
    if (!dropPendingInput(result))
        return result;
    scanner_.reset();

    const std::vector<std::string> writes = splitWrites(command, shape_);
    for (std::size_t i = 0; i < writes.size(); ++i) {
        if (i > 0 && shape_.pause.count() > 0)
            std::this_thread::sleep_for(shape_.pause);
        if (!writeAll(writes[i], deadline, result))
            return result;
    }
    const Clock::time_point sent = Clock::now();
    if (!awaitAnswer(deadline, result))
        return result;
    result.roundTrip = Clock::now() - sent;
    result.outcome = Outcome::Answered;
    return result;
}

bool Dialogue::dropPendingInput(Exchange &result)
{
    char buffer[256];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            trace("read (dropped)", std::string_view(buffer, static_cast<std::size_t>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return true;
        readFailed(n, result);
        return false;
    }
}

bool Dialogue::writeAll(std::string_view bytes, Clock::time_point deadline, Exchange &result)
{
    trace("write", bytes);
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN) {
            result.outcome = isHangUp(errno) ? Outcome::HungUp : Outcome::Failed;
            result.detail = std::strerror(errno);
            return false;
        }
        // The line is full: wait until it takes more, or give up.
        if (!pollBefore(fd_, POLLOUT, deadline)) {
            result.outcome = Outcome::Blocked;
            return false;
        }
    }
    return true;
}

bool Dialogue::awaitAnswer(Clock::time_point deadline, Exchange &result)
{
    char buffer[256];
    for (;;) {
        const std::optional<int> ready = pollBefore(fd_, POLLIN, deadline);
        if (!ready) {
            result.outcome = Outcome::TimedOut;
            return false;
        }
        if (*ready < 0 && errno != EINTR) {
            result.outcome = Outcome::Failed;
            result.detail = std::strerror(errno);
            return false;
        }
        if (*ready <= 0)
            continue;
        // A hang-up without data shows as an error or end of file here.
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            const std::string_view bytes(buffer, static_cast<std::size_t>(n));
            trace("read", bytes);
            if (scanner_.feed(bytes))
                return true;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        readFailed(n, result);
        return false;
    }
}

void Dialogue::trace(const char *direction, std::string_view bytes) const
{
    if (trace_ == nullptr)
        return;
    std::fprintf(trace_, "tavlun-accessory: %s %zu bytes \"%s\"\n", direction, bytes.size(),
                 printable(bytes).c_str());
    std::fflush(trace_);
}

} // namespace tavlun::accessory
