/* Plays the accessory on the controller side of a pseudo-terminal: writes
 * command lines one at a time, each ended by a carriage return, and waits for
 * the answer "OK\r\n" before the next one. Every round trip is timed from the
 * write of the line (the carriage return is its last byte) to the arrival of
 * the answer's last byte.
 *
 *   tavlun_rtt_client (--fd N | --path DEVICE) [--line TEXT]... [--count N]
 *                     [--warmup N] [--gap-us G] [--block K] [--timeout-ms T]
 *                     [--samples FILE]
 *
 * --line may be given several times; the lines are sent in turn, and "\r" is
 * added to each. --gap-us leaves the line idle for G microseconds after each
 * answer before the next line goes out (the default, 0, sends back to back).
 * Prints, on standard output, one "block ..." line for every K measured round
 * trips when --block is given, and a final "total ..." line: key=value pairs
 * (start, count, elapsed_s, per_line_us = elapsed over count, then mean_us,
 * median_us, p99_us, min_us, max_us of the round trips). Exits 2 when an
 * answer is late or is not exactly "OK\r\n". */

#define _DEFAULT_SOURCE

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

enum { kMaxLines = 64 };

static const char kAnswer[] = "OK\r\n";
static const size_t kAnswerLength = 4;

struct options {
    int fd;
    const char *path;
    const char *lines[kMaxLines];
    size_t lineCount;
    long count;
    long warmup;
    long block;
    long gapUs;
    int timeoutMs;
    const char *samplesPath;
};

static void usage(void)
{
    fprintf(stderr, "usage: tavlun_rtt_client (--fd N | --path DEVICE) [--line TEXT]... "
                    "[--count N] [--warmup N] [--gap-us G] [--block K] [--timeout-ms T] "
                    "[--samples FILE]\n");
    exit(64);
}

static long number(const char *text)
{
    char *end = NULL;
    errno = 0;
    const long value = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0)
        usage();
    return value;
}

static void parse(int argc, char **argv, struct options *o)
{
    o->fd = -1;
    o->count = 2000;
    o->timeoutMs = 5000;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (i + 1 >= argc)
            usage();
        const char *value = argv[++i];
        if (strcmp(arg, "--fd") == 0)
            o->fd = (int)number(value);
        else if (strcmp(arg, "--path") == 0)
            o->path = value;
        else if (strcmp(arg, "--line") == 0) {
            if (o->lineCount == kMaxLines)
                usage();
            o->lines[o->lineCount++] = value;
        } else if (strcmp(arg, "--count") == 0)
            o->count = number(value);
        else if (strcmp(arg, "--warmup") == 0)
            o->warmup = number(value);
        else if (strcmp(arg, "--gap-us") == 0)
            o->gapUs = number(value);
        else if (strcmp(arg, "--block") == 0)
            o->block = number(value);
        else if (strcmp(arg, "--timeout-ms") == 0)
            o->timeoutMs = (int)number(value);
        else if (strcmp(arg, "--samples") == 0)
            o->samplesPath = value;
        else
            usage();
    }
    if ((o->fd < 0) == (o->path == NULL) || o->count == 0)
        usage();
    if (o->lineCount == 0)
        o->lines[o->lineCount++] = "AT+CKPD=\"222\"";
}

static int64_t now_ns(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

static void idle(long microseconds)
{
    if (microseconds <= 0)
        return;
    struct timespec ts = {microseconds / 1000000, (microseconds % 1000000) * 1000};
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) == EINTR) {
    }
}

static void write_all(int fd, const char *data, size_t length)
{
    while (length > 0) {
        const ssize_t n = write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                struct pollfd p = {fd, POLLOUT, 0};
                poll(&p, 1, 100);
                continue;
            }
            perror("tavlun_rtt_client: write");
            exit(2);
        }
        data += n;
        length -= (size_t)n;
    }
}

/* Reads until the answer is complete; returns the time of its last byte. */
static int64_t await_answer(int fd, int timeoutMs, long lineNumber)
{
    char got[64];
    size_t have = 0;
    const int64_t deadline = now_ns() + (int64_t)timeoutMs * 1000000;
    while (have < kAnswerLength) {
        const int64_t left = deadline - now_ns();
        if (left <= 0) {
            fprintf(stderr, "tavlun_rtt_client: line %ld: expected \"OK\\r\\n\" within %d ms, "
                            "got %zu bytes\n", lineNumber, timeoutMs, have);
            exit(2);
        }
        struct pollfd p = {fd, POLLIN, 0};
        const int ready = poll(&p, 1, (int)(left / 1000000) + 1);
        if (ready < 0 && errno != EINTR) {
            perror("tavlun_rtt_client: poll");
            exit(2);
        }
        if (ready <= 0)
            continue;
        const ssize_t n = read(fd, got + have, sizeof got - have);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            fprintf(stderr, "tavlun_rtt_client: line %ld: the far end went away\n", lineNumber);
            exit(2);
        }
        have += (size_t)n;
    }
    const int64_t arrived = now_ns();
    if (have != kAnswerLength || memcmp(got, kAnswer, kAnswerLength) != 0) {
        fprintf(stderr, "tavlun_rtt_client: line %ld: expected \"OK\\r\\n\", got %zu bytes:",
                lineNumber, have);
        for (size_t i = 0; i < have; ++i)
            fprintf(stderr, " %02x", (unsigned char)got[i]);
        fprintf(stderr, "\n");
        exit(2);
    }
    return arrived;
}

static int compare(const void *a, const void *b)
{
    const int64_t x = *(const int64_t *)a;
    const int64_t y = *(const int64_t *)b;
    return (x > y) - (x < y);
}

/* Nearest-rank percentile of sorted samples. */
static double rank_us(const int64_t *sorted, long n, double fraction)
{
    long rank = (long)((double)n * fraction + 0.999999);
    if (rank < 1)
        rank = 1;
    if (rank > n)
        rank = n;
    return (double)sorted[rank - 1] / 1000.0;
}

static void report(const char *label, long start, const int64_t *samples, long n,
                   int64_t elapsedNs, int64_t *scratch)
{
    double sum = 0;
    for (long i = 0; i < n; ++i)
        sum += (double)samples[i];
    memcpy(scratch, samples, (size_t)n * sizeof *scratch);
    qsort(scratch, (size_t)n, sizeof *scratch, compare);
    printf("%s start=%ld count=%ld elapsed_s=%.6f per_line_us=%.3f mean_us=%.3f median_us=%.3f "
           "p99_us=%.3f min_us=%.3f max_us=%.3f\n",
           label, start, n, (double)elapsedNs / 1e9, (double)elapsedNs / 1000.0 / (double)n,
           sum / 1000.0 / (double)n, rank_us(scratch, n, 0.5), rank_us(scratch, n, 0.99),
           (double)scratch[0] / 1000.0, (double)scratch[n - 1] / 1000.0);
    fflush(stdout);
}

int main(int argc, char **argv)
{
    struct options o;
    memset(&o, 0, sizeof o);
    parse(argc, argv, &o);

    int fd = o.fd;
    if (o.path) {
        fd = open(o.path, O_RDWR | O_NOCTTY);
        if (fd < 0) {
            perror(o.path);
            return 2;
        }
        struct termios t;
        if (tcgetattr(fd, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(fd, TCSANOW, &t);
        }
    }

    char *lines[kMaxLines];
    size_t lengths[kMaxLines];
    for (size_t i = 0; i < o.lineCount; ++i) {
        lengths[i] = strlen(o.lines[i]) + 1;
        lines[i] = malloc(lengths[i]);
        memcpy(lines[i], o.lines[i], lengths[i] - 1);
        lines[i][lengths[i] - 1] = '\r';
    }

    int64_t *samples = malloc((size_t)o.count * sizeof *samples);
    int64_t *scratch = malloc((size_t)o.count * sizeof *scratch);
    if (!samples || !scratch) {
        fprintf(stderr, "tavlun_rtt_client: out of memory\n");
        return 2;
    }

    size_t next = 0;
    for (long i = 0; i < o.warmup; ++i) {
        idle(o.gapUs);
        write_all(fd, lines[next], lengths[next]);
        await_answer(fd, o.timeoutMs, i);
        next = (next + 1) % o.lineCount;
    }

    const int64_t started = now_ns();
    int64_t blockStarted = started;
    long blockFirst = 0;
    for (long i = 0; i < o.count; ++i) {
        idle(o.gapUs);
        const int64_t sent = now_ns();
        write_all(fd, lines[next], lengths[next]);
        samples[i] = await_answer(fd, o.timeoutMs, o.warmup + i) - sent;
        next = (next + 1) % o.lineCount;
        if (o.block > 0 && i + 1 - blockFirst == o.block) {
            const int64_t t = now_ns();
            report("block", blockFirst, samples + blockFirst, o.block, t - blockStarted, scratch);
            blockStarted = t;
            blockFirst = i + 1;
        }
    }
    const int64_t finished = now_ns();

    if (o.samplesPath) {
        FILE *out = fopen(o.samplesPath, "w");
        if (out) {
            for (long i = 0; i < o.count; ++i)
                fprintf(out, "%lld\n", (long long)samples[i]);
            fclose(out);
        }
    }
    report("total", 0, samples, o.count, finished - started, scratch);
    return 0;
}
