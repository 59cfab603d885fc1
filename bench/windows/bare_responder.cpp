// The reference for the answer latency under wine: the least a Win32
// program can do on a COM port, read with the same overlapped reads and
// settings as the program's, and write "OK\r\n" for every carriage return.
// Usage: tavlun_bare_responder COMn (it ends when the port fails or its
// standard input closes).
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavlun_bare_responder COMn\n");
        return 2;
    }
    const std::string path = std::string("\\\\.\\") + argv[1];
    HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "tavlun_bare_responder: %s does not open (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    DCB line{};
    line.DCBlength = sizeof line;
    GetCommState(port, &line);
    line.BaudRate = CBR_9600;
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 1;
    if (!SetCommState(port, &line) || !SetCommTimeouts(port, &timeouts))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    // Ends the process once standard input closes.
    std::thread([] {
        while (std::getchar() != EOF) {
        }
        ExitProcess(0);
    }).detach();

    HANDLE readDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE writeDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    char buffer[4096];
    for (;;) {
        OVERLAPPED io{};
        io.hEvent = readDone;
        DWORD got = 0;
        if (!ReadFile(port, buffer, sizeof buffer, &got, &io)
            && (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(port, &io, &got, TRUE)))
            return 0;
        for (DWORD i = 0; i < got; ++i) {
            if (buffer[i] != '\r')
                continue;
            OVERLAPPED out{};
            out.hEvent = writeDone;
            DWORD put = 0;
            if (!WriteFile(port, "OK\r\n", 4, &put, &out)
                && (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(port, &out, &put, TRUE)))
                return 0;
        }
    }
}
