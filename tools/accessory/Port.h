#pragma once

#include <string>

namespace tavlun::accessory {

// The accessory's end of the serial line: a serial device, or a
// pseudo-terminal whose device side the program under test opens. The
// descriptor is non-blocking.
class Port {
public:
    // Opens a serial device and sets it to raw 9600 baud, 8N1, no flow control.
    static Port openDevice(const std::string &path, std::string &error);
    // Makes a pseudo-terminal in raw mode; path() is its device side.
    static Port openPty(std::string &error);

    Port() = default;
    Port(Port &&other) noexcept;
    Port &operator=(Port &&other) noexcept;
    Port(const Port &) = delete;
    Port &operator=(const Port &) = delete;
    ~Port();

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string &path() const { return path_; }
    bool isPty() const { return pty_; }

    // Pseudo-terminal only. Our own descriptor of the device side keeps it
    // open for the program that opens it later; once it is released, the
    // other side closing the device shows as a hang-up.
    void releaseDevice();
    // Pseudo-terminal only, after releaseDevice(): true while some program
    // has the device side open.
    bool peerPresent() const;

private:
    void close();

    int fd_ = -1;
    int device_ = -1; // pseudo-terminal: our descriptor of the device side
    std::string path_;
    bool pty_ = false;
};

} // namespace tavlun::accessory
