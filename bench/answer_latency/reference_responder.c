/* The least a responder can do: opens a serial device (here the far side of
 * a pseudo-terminal) in raw mode and answers "OK\r\n" to every carriage
 * return it reads, with one write per read. It is the floor that the
 * benchmarks hold the program against.
 *
 *   tavlun_reference_responder DEVICE
 *
 * Prints "ready" on standard output once the device is open and ends when the
 * other side closes. */

#define _DEFAULT_SOURCE

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: tavlun_reference_responder DEVICE\n");
        return 64;
    }
    const int fd = open(argv[1], O_RDWR | O_NOCTTY);
    if (fd < 0) {
        perror(argv[1]);
        return 1;
    }
    struct termios t;
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        cfsetspeed(&t, B9600);
        tcsetattr(fd, TCSANOW, &t);
    }
    printf("ready\n");
    fflush(stdout);

    char in[4096];
    char out[4 * sizeof in];
    for (;;) {
        const ssize_t n = read(fd, in, sizeof in);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 0;
        size_t answers = 0;
        for (ssize_t i = 0; i < n; ++i) {
            if (in[i] == '\r') {
                memcpy(out + 4 * answers, "OK\r\n", 4);
                ++answers;
            }
        }
        size_t left = 4 * answers;
        const char *p = out;
        while (left > 0) {
            const ssize_t w = write(fd, p, left);
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                return 1;
            p += w;
            left -= (size_t)w;
        }
    }
}
