#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

namespace tavlun::test {

// A pseudo-terminal pair in raw mode. The program under test opens the
// device path; the test plays the far side on the controller descriptor.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool valid() const { return controller_ >= 0; }
    const QString &devicePath() const { return path_; }
    int controllerFd() const { return controller_; }

    // Writes all bytes to the far side of the device.
    bool write(const QByteArray &bytes);
    // Reads until `count` bytes have arrived or the deadline passes.
    QByteArray readAtLeast(qsizetype count, std::chrono::milliseconds deadline);
    // Closes the far side: the device then reports a hang-up.
    void closeController();
    // Closes the descriptor that keeps the device alive on our side.
    void closeDevice();

private:
    int controller_ = -1;
    int device_ = -1;
    QString path_;
};

} // namespace tavlun::test
