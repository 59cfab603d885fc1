#include "ComPort.h"

#include <windows.h>

namespace tavlun::serial::windows {

namespace {

// Closes a handle when the scope ends.
struct HandleGuard {
    HANDLE handle;
    ~HandleGuard()
    {
        if (handle)
            CloseHandle(handle);
    }
};

// 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control of any kind.
bool setLine(HANDLE port)
{
    DCB line{};
    line.DCBlength = sizeof line;
    if (!GetCommState(port, &line))
        return false;
    line.BaudRate = CBR_9600;
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    line.fBinary = TRUE;
    line.fParity = FALSE;
    line.fOutxCtsFlow = FALSE;
    line.fOutxDsrFlow = FALSE;
    line.fDsrSensitivity = FALSE;
    line.fDtrControl = DTR_CONTROL_ENABLE;
    line.fRtsControl = RTS_CONTROL_ENABLE;
    line.fOutX = FALSE;
    line.fInX = FALSE;
    line.fNull = FALSE;
    line.fAbortOnError = FALSE;
    // A port whose device has gone can still be opened: this is where it fails.
    return SetCommState(port, &line) != 0;
}

// A read returns once a millisecond passes without a byte after the first
// one, and waits as long as it takes for the first. (The "return at the
// first byte" setting never completes under wine, and WaitCommEvent needs
// modem lines that a pseudo-terminal lacks.)
bool setReadTimeouts(HANDLE port)
{
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 1;
    return SetCommTimeouts(port, &timeouts) != 0;
}

// Waits for overlapped I/O or the stop event: true with the I/O's result
// when it completed, false when it was stopped (and is cancelled by now).
bool finishIo(HANDLE port, OVERLAPPED &io, HANDLE stop, DWORD &done, DWORD &error)
{
    const HANDLE waits[] = {io.hEvent, stop};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        CancelIoEx(port, &io);
        GetOverlappedResult(port, &io, &done, TRUE);
        return false;
    }
    error = GetOverlappedResult(port, &io, &done, FALSE) ? 0 : GetLastError();
    return true;
}

} // namespace

ComPort::ComPort(Handlers handlers) : handlers_(std::move(handlers)) {}

ComPort::~ComPort()
{
    close();
}

bool ComPort::open(const std::string &name)
{
    close();
    lastError_ = 0;
    lastErrorAtSettings_ = false;
    const std::wstring path = L"\\\\.\\" + std::wstring(name.begin(), name.end());
    HANDLE port = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        lastError_ = GetLastError();
        return false;
    }
    if (!setLine(port) || !setReadTimeouts(port)) {
        lastError_ = GetLastError();
        lastErrorAtSettings_ = true;
        CloseHandle(port);
        return false;
    }
    PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
    handle_ = port;
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    lostReported_ = false;
    reader_ = std::thread([this] { readUntilStopped(); });
    return true;
}

void ComPort::close()
{
    if (!handle_)
        return;
    SetEvent(stop_);
    reader_.join();
    CloseHandle(handle_);
    CloseHandle(stop_);
    handle_ = nullptr;
    stop_ = nullptr;
}

void ComPort::readUntilStopped()
{
    HandleGuard event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    char buffer[4096];
    for (;;) {
        OVERLAPPED io{};
        io.hEvent = event.handle;
        DWORD got = 0;
        DWORD error = 0;
        if (!ReadFile(handle_, buffer, sizeof buffer, &got, &io)) {
            error = GetLastError();
            if (error == ERROR_IO_PENDING && !finishIo(handle_, io, stop_, got, error))
                return;
        }
        if (error != 0) {
            reportLost();
            return;
        }
        if (got > 0)
            handlers_.received(std::string_view(buffer, got));
        else if (WaitForSingleObject(stop_, 10) == WAIT_OBJECT_0)
            return; // a read that timed out empty: no spinning while nothing comes
    }
}

bool ComPort::write(std::string_view bytes)
{
    if (!handle_)
        return false;
    HandleGuard event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    while (!bytes.empty()) {
        OVERLAPPED io{};
        io.hEvent = event.handle;
        DWORD put = 0;
        DWORD error = 0;
        if (!WriteFile(handle_, bytes.data(), DWORD(bytes.size()), &put, &io)) {
            error = GetLastError();
            if (error == ERROR_IO_PENDING && !finishIo(handle_, io, stop_, put, error))
                return false;
        }
        if (error != 0) {
            reportLost();
            return false;
        }
        if (put == 0)
            return false; // nothing taken and no error: no write timeouts are set, so never
        bytes.remove_prefix(put);
    }
    return true;
}

void ComPort::reportLost()
{
    if (lostReported_)
        return;
    lostReported_ = true;
    if (handlers_.lost)
        handlers_.lost();
}

} // namespace tavlun::serial::windows
