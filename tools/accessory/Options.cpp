#include "Options.h"

#include <charconv>
#include <getopt.h>

namespace tavlun::accessory {

namespace {

enum LongOnly {
    kDevice = 1000,
    kPty,
    kWaitForPeer,
    kTimeout,
    kHelloTimeout,
    kKeepGoing,
    kEnterPerLine,
    kChunk,
    kPause,
    kSeparateCr,
    kRtt,
    kTrace,
    kHelp,
    kVersion,
};

const option kOptions[] = {
    {"device", required_argument, nullptr, kDevice},
    {"pty", no_argument, nullptr, kPty},
    {"wait-for-peer", no_argument, nullptr, kWaitForPeer},
    {"timeout", required_argument, nullptr, kTimeout},
    {"hello-timeout", required_argument, nullptr, kHelloTimeout},
    {"keep-going", no_argument, nullptr, kKeepGoing},
    {"enter-per-line", no_argument, nullptr, kEnterPerLine},
    {"chunk", required_argument, nullptr, kChunk},
    {"pause", required_argument, nullptr, kPause},
    {"separate-cr", no_argument, nullptr, kSeparateCr},
    {"rtt", no_argument, nullptr, kRtt},
    {"trace", no_argument, nullptr, kTrace},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

// Milliseconds and byte counts: decimal, no sign, at most a day's worth.
std::optional<long> parseCount(const char *text)
{
    constexpr long kMaximum = 86'400'000;
    long value = 0;
    const std::string_view view(text);
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
    if (error != std::errc() || end != view.data() + view.size() || value < 0 || value > kMaximum)
        return std::nullopt;
    return value;
}

} // namespace

const char *usageText()
{
    return R"(Usage: tavlun-accessory (--device PATH | --pty) [OPTION]... [--] [TEXT]...

Plays a mobile-phone keyboard accessory on a serial line (9600 baud, 8N1):
sends AT+CGMR, waits for "OK", then types TEXT (the words joined by single
spaces) or, without TEXT, standard input line by line, one AT+CKPD= keypad
command per character. Every command waits for its "OK" answer before the
next one goes out.

Text is UTF-8. Letters take the multi-tap sequence with the fewest presses,
whatever their case (a as A); digits, "#" and "*" a long press; "<" and ">"
are the arrow keys. Key words press the keys that type nothing:
  {CLEAR}  the clear key       {SEND}  the send key    {END}  the end key
  {LEFT}   the left arrow      {RIGHT} the right arrow (case-insensitive)
A character that no key produces is reported on stderr, with its input line
and position, and skipped.

The line:
  --device PATH       use the serial device PATH, set to raw 9600 8N1
  --pty               make a pseudo-terminal and print its device path as the
                      first line of stdout ("device: /dev/pts/N")
  --wait-for-peer     with --pty: send nothing until a program opens the
                      device; if it closes it again before answering AT+CGMR
                      (a port scan), wait for the next one

Answers:
  --timeout MS        wait MS milliseconds for each answer (default 2000,
                      0 = no limit)
  --hello-timeout MS  the same for the answer to AT+CGMR (default: --timeout)
  --keep-going        after a command without answer, go on with the next;
                      with --wait-for-peer, after the other side closed the
                      device, wait for it to open it again and send the
                      command again (the exit status is still 1)
  --rtt               print each answer's round-trip time on stdout, from the
                      write of the carriage return to the read that completes
                      "OK" CR LF, and a summary (median, p99) at the end

Writes:
  --chunk N           write each command line in pieces of N bytes
  --pause MS          wait MS milliseconds between two writes of a line
  --separate-cr       write the carriage return on its own (default: with the
                      last characters of the line)
  --enter-per-line    press the send key after each input line
  --trace             log every write and read on stderr

  --help              print this help and exit
  --version           print the version and exit

Exit status: 0 when every command was answered, 1 when a command got no
answer or the line hung up or failed, 2 for bad usage or a device that
cannot be opened. Skipped characters do not change it.
)";
}

ParsedCommandLine parseCommandLine(int argc, char **argv)
{
    ParsedCommandLine parsed;
    Options &o = parsed.options;
    const auto fail = [&](std::string message) {
        parsed.action = ParsedCommandLine::Action::Error;
        parsed.error = std::move(message);
        return parsed;
    };

    optind = 1;
    opterr = 0;
    for (;;) {
        const int previous = optind;
        const int c = getopt_long(argc, argv, ":", kOptions, nullptr);
        if (c == -1)
            break;
        std::optional<long> number;
        if (optarg != nullptr && c != kDevice) {
            number = parseCount(optarg);
            if (!number)
                return fail(std::string("not a number of the right size for ") + argv[previous]
                            + ": " + optarg);
        }
        switch (c) {
        case kDevice:
            o.device = optarg;
            break;
        case kPty:
            o.pty = true;
            break;
        case kWaitForPeer:
            o.waitForPeer = true;
            break;
        case kTimeout:
            o.timeout = std::chrono::milliseconds(*number);
            break;
        case kHelloTimeout:
            o.helloTimeout = std::chrono::milliseconds(*number);
            break;
        case kKeepGoing:
            o.keepGoing = true;
            break;
        case kEnterPerLine:
            o.enterPerLine = true;
            break;
        case kChunk:
            o.shape.chunk = static_cast<std::size_t>(*number);
            break;
        case kPause:
            o.shape.pause = std::chrono::milliseconds(*number);
            break;
        case kSeparateCr:
            o.shape.separateCr = true;
            break;
        case kRtt:
            o.rtt = true;
            break;
        case kTrace:
            o.trace = true;
            break;
        case kHelp:
            parsed.action = ParsedCommandLine::Action::Help;
            return parsed;
        case kVersion:
            parsed.action = ParsedCommandLine::Action::Version;
            return parsed;
        case ':':
            return fail(std::string("missing value for ") + argv[previous]);
        default:
            return fail(std::string("unknown option ") + argv[previous]);
        }
    }
    for (int i = optind; i < argc; ++i)
        o.text.emplace_back(argv[i]);

    if (o.pty == !o.device.empty())
        return fail("give either --device PATH or --pty");
    if (o.waitForPeer && !o.pty)
        return fail("--wait-for-peer needs --pty");
    return parsed;
}

} // namespace tavlun::accessory
