#include "SwayKeymapWatch.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tavlun::keystrokes {

namespace {

// A message on sway's socket (the i3 IPC framing): the magic, the payload's
// length and the message's type, both 32 bits in the machine's order, then
// the payload, here JSON.
constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t kHeaderSize = sizeof kMagic + 2 * sizeof(std::uint32_t);
constexpr std::uint32_t kSubscribe = 2;
constexpr std::uint32_t kInputEvent = 0x80000015; // events have the high bit set
constexpr int kAnswerTimeoutMs = 1000;

bool sendMessage(int socket, std::uint32_t type, std::string_view payload)
{
    std::string message(kMagic, sizeof kMagic);
    const std::uint32_t lengthAndType[] = {std::uint32_t(payload.size()), type};
    message.append(reinterpret_cast<const char *>(lengthAndType), sizeof lengthAndType);
    message += payload;
    return send(socket, message.data(), message.size(), MSG_NOSIGNAL) == ssize_t(message.size());
}

// Reads `size` bytes, waiting for each part at most a second.
bool receiveExactly(int socket, char *out, std::size_t size)
{
    pollfd readable{socket, POLLIN, 0};
    while (size > 0) {
        const ssize_t n = poll(&readable, 1, kAnswerTimeoutMs) == 1 ? recv(socket, out, size, 0) : 0;
        if (n <= 0)
            return false;
        out += n;
        size -= std::size_t(n);
    }
    return true;
}

} // namespace

std::unique_ptr<SwayKeymapWatch> SwayKeymapWatch::open(const std::string &path, std::string_view ownLayout)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return nullptr;
    path.copy(address.sun_path, path.size());
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return nullptr;
    std::unique_ptr<SwayKeymapWatch> watch(new SwayKeymapWatch(socket, ownLayout));
    if (connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0
        || !sendMessage(socket, kSubscribe, R"(["input"])"))
        return nullptr;
    // The answer to the subscription comes before any event.
    char header[kHeaderSize];
    std::uint32_t lengthAndType[2];
    if (!receiveExactly(socket, header, kHeaderSize))
        return nullptr;
    std::memcpy(lengthAndType, header + sizeof kMagic, sizeof lengthAndType);
    std::string reply(lengthAndType[0], '\0');
    if (lengthAndType[1] != kSubscribe || lengthAndType[0] > 4096 || !receiveExactly(socket, reply.data(), reply.size())
        || reply.find("true") == std::string::npos)
        return nullptr;
    return watch;
}

SwayKeymapWatch::~SwayKeymapWatch()
{
    stop();
}

void SwayKeymapWatch::stop()
{
    if (socket_ >= 0)
        close(socket_);
    socket_ = -1;
}

bool SwayKeymapWatch::foreignKeymapSince()
{
    char buffer[4096];
    while (socket_ >= 0) {
        const ssize_t n = recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0)
            received_.append(buffer, std::size_t(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            stop(); // sway has gone: nothing more to hear
        if (n <= 0)
            break;
    }
    bool foreign = false;
    std::string_view unread(received_);
    while (unread.size() >= kHeaderSize) {
        if (unread.substr(0, sizeof kMagic) != std::string_view(kMagic, sizeof kMagic)) {
            stop(); // not sway's framing: stop listening rather than misread
            received_.clear();
            return foreign;
        }
        std::uint32_t lengthAndType[2];
        std::memcpy(lengthAndType, unread.data() + sizeof kMagic, sizeof lengthAndType);
        if (unread.size() - kHeaderSize < lengthAndType[0])
            break; // the rest of it has not come yet
        const std::string_view payload = unread.substr(kHeaderSize, lengthAndType[0]);
        unread.remove_prefix(kHeaderSize + payload.size());
        // The latest keymap counts: ours sent after another's puts it right.
        if (lengthAndType[1] == kInputEvent && payload.find("\"xkb_keymap\"") != std::string_view::npos
            && payload.find("virtual_keyboard") != std::string_view::npos)
            foreign = payload.find(ownLayoutQuoted_) == std::string_view::npos;
    }
    received_.erase(0, received_.size() - unread.size());
    return foreign;
}

} // namespace tavlun::keystrokes
