#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace tavlun::serial::windows {

// A COM port at 9600 baud, no parity, 8 data bits, 1 stop bit, read on a
// thread of its own. open() and close() belong to the thread that owns the
// port; `received` and `lost` are called on the reading thread, and write()
// is meant for that thread too (the answer goes out from within `received`).
class ComPort {
public:
    struct Handlers {
        // The bytes of one read, in the order they arrived.
        std::function<void(std::string_view bytes)> received;
        // A read or a write failed: the device went away. Called once per
        // open; the reading stops, and the owner closes the port.
        std::function<void()> lost;
    };

    explicit ComPort(Handlers handlers);
    ~ComPort();
    ComPort(const ComPort &) = delete;
    ComPort &operator=(const ComPort &) = delete;

    // Opens "COMn" and starts reading; false when it does not exist, is in
    // use or refuses the line's settings (lastError() says which). Bytes
    // that arrived before the open are dropped.
    bool open(const std::string &name);
    // Stops the reading (it never waits for a byte) and closes the port.
    void close();
    bool isOpen() const { return handle_ != nullptr; }

    // Writes every byte, waiting until they have gone to the driver; false
    // when the device failed (and `lost` has been called) or the port is
    // closing.
    bool write(std::string_view bytes);

    // The system's error code of the latest failed open; 0 when it did not fail.
    unsigned long lastError() const { return lastError_; }
    // True when the latest failed open got the port but not its settings.
    bool lastErrorAtSettings() const { return lastErrorAtSettings_; }

private:
    void readUntilStopped();
    void reportLost();

    Handlers handlers_;
    void *handle_ = nullptr; // the port's HANDLE while open
    void *stop_ = nullptr;   // an event: set when the reading must end
    std::thread reader_;
    unsigned long lastError_ = 0;
    bool lastErrorAtSettings_ = false;
    bool lostReported_ = false; // touched by the reading thread only
};

} // namespace tavlun::serial::windows
