// The accessory tool as a program: started as a child process, with the
// test playing the phone on the other side of a pseudo-terminal.

#include "support/Pty.h"
#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

using Lines = QList<QByteArray>;

using tavlun::test::waitFor;

// The tool as a child process; its output is collected as it comes.
class Tool {
public:
    explicit Tool(const QStringList &arguments, const QByteArray &input = {})
    {
        QObject::connect(&process_, &QProcess::readyReadStandardOutput,
                         [this] { out += process_.readAllStandardOutput(); });
        QObject::connect(&process_, &QProcess::readyReadStandardError,
                         [this] { err += process_.readAllStandardError(); });
        process_.start(QStringLiteral(TAVLUN_ACCESSORY_TOOL), arguments);
        started_ = process_.waitForStarted(10'000);
        process_.write(input);
        process_.closeWriteChannel();
    }
    ~Tool()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(10'000);
        }
    }

    bool started() const { return started_; }
    bool running() const { return process_.state() != QProcess::NotRunning; }

    // The exit code once the tool has ended; -1 while it still runs at the
    // deadline, -2 if it crashed.
    int exitCode(std::chrono::milliseconds deadline = 10s)
    {
        if (!waitFor([this] { return !running(); }, deadline))
            return -1;
        out += process_.readAllStandardOutput();
        err += process_.readAllStandardError();
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -2;
    }

    // The first line of stdout, without its line feed; empty if none came.
    QByteArray firstLine()
    {
        waitFor([this] { return out.contains('\n') || !running(); });
        return out.left(out.indexOf('\n'));
    }

    QByteArray out;
    QByteArray err;

private:
    QProcess process_;
    bool started_ = false;
};

// The phone's end of the line: reads command lines and answers them.
class Phone {
public:
    explicit Phone(int fd) : fd_(fd) {}

    // Opens a device path in raw mode, as the program under test does.
    static int openDevice(const QByteArray &path)
    {
        const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            termios raw{};
            ::tcgetattr(fd, &raw);
            cfmakeraw(&raw);
            ::tcsetattr(fd, TCSANOW, &raw);
        }
        return fd;
    }

    // The next command line with its carriage return; empty when none is
    // complete by the deadline or once the tool has ended without one.
    QByteArray nextLine(Tool &tool, std::chrono::milliseconds deadline = 10s)
    {
        waitFor(
            [&] {
                readAvailable();
                return buffer_.contains('\r') || !tool.running();
            },
            deadline);
        readAvailable();
        const qsizetype cr = buffer_.indexOf('\r');
        if (cr < 0)
            return {};
        const QByteArray line = buffer_.left(cr + 1);
        buffer_.remove(0, cr + 1);
        return line;
    }

    // Bytes that came after the last line taken: sent before its answer.
    QByteArray early()
    {
        readAvailable();
        return buffer_;
    }

    void answer(const QByteArray &bytes = "OK\r\n")
    {
        ASSERT_EQ(::write(fd_, bytes.constData(), static_cast<size_t>(bytes.size())),
                  bytes.size());
    }

    // Answers every line until the tool ends; the lines in order. A line
    // that comes before the answer to the one before it fails the test.
    Lines answerAll(Tool &tool)
    {
        Lines lines;
        for (QByteArray line = nextLine(tool); !line.isEmpty(); line = nextLine(tool)) {
            lines << line;
            const QByteArray before = early();
            EXPECT_TRUE(before.isEmpty()) << "the tool sent \"" << before.toStdString()
                                          << "\" before the answer to " << line.toStdString();
            answer();
        }
        return lines;
    }

private:
    void readAvailable()
    {
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n <= 0)
                return;
            buffer_.append(chunk, n);
        }
    }

    int fd_;
    QByteArray buffer_;
};

QByteArray kpd(const char *keys)
{
    return QByteArray("AT+CKPD=\"") + keys + "\"\r";
}

const QByteArray kHello = "AT+CGMR\r";

// Keeps the tool from inheriting the test's end of the line, which would
// keep the line up after the test closes it.
void keepFromChildren(const tavlun::test::Pty &line)
{
    ::fcntl(line.controllerFd(), F_SETFD, FD_CLOEXEC);
}

// The tool on the device side of a pseudo-terminal made by the test.
class ToolOnDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.valid());
        keepFromChildren(pty);
    }

    QStringList deviceArguments(const QStringList &more) const
    {
        return QStringList{QStringLiteral("--device"), pty.devicePath()} + more;
    }

    tavlun::test::Pty pty;
    Phone phone{pty.controllerFd()};
};

TEST_F(ToolOnDevice, ACommandWithoutAnswerIsNamedAndNothingFollowsIt)
{
    Tool tool(deviceArguments({QStringLiteral("--timeout"), QStringLiteral("300"),
                               QStringLiteral("AB")}));
    ASSERT_TRUE(tool.started());

    EXPECT_EQ(phone.nextLine(tool), kHello);
    // Other bytes around the answer, and the answer split, still count.
    phone.answer("\r\nRevision 1\r\nO");
    phone.answer("K\r\n");
    EXPECT_EQ(phone.nextLine(tool), kpd("2"));
    phone.answer("ERROR\r\nOK\r\n");
    EXPECT_EQ(phone.nextLine(tool), kpd("22"));

    EXPECT_EQ(tool.exitCode(), 1);
    EXPECT_EQ(phone.early(), QByteArray());
    EXPECT_TRUE(tool.err.contains(
        "no answer within 300 ms at command 3, AT+CKPD=\"22\" (input line 1, position 2: \"B\")"))
        << tool.err.toStdString();
}

TEST_F(ToolOnDevice, CharactersOnNoKeyAreReportedWithTheirPlaceAndSkipped)
{
    // Two input lines, the send key after each.
    Tool tool(deviceArguments({QStringLiteral("--enter-per-line")}),
              "a\xE2\x82\xAC~b\n{clear}x\xFF\n");
    ASSERT_TRUE(tool.started());

    EXPECT_EQ(phone.answerAll(tool),
              (Lines{kHello, kpd("2"), kpd("22"), kpd("s"), kpd("c"), kpd("99"), kpd("s")}));
    EXPECT_EQ(tool.exitCode(), 0);
    const char *const reports[] = {
        "input line 1, position 2: \"\xE2\x82\xAC\" (U+20AC) is on no key; skipped",
        "input line 1, position 3: \"~\" (U+007E) is on no key; skipped",
        "input line 2, position 3: byte 0xFF is not UTF-8; skipped",
    };
    for (const char *report : reports)
        EXPECT_TRUE(tool.err.contains(report))
            << "no \"" << report << "\" in:\n" << tool.err.toStdString();
}

TEST_F(ToolOnDevice, AHangUpEndsTheRunWithAMessage)
{
    Tool tool(deviceArguments({QStringLiteral("AB")}));
    ASSERT_TRUE(tool.started());

    EXPECT_EQ(phone.nextLine(tool), kHello);
    phone.answer();
    EXPECT_EQ(phone.nextLine(tool), kpd("2"));
    pty.closeController();

    EXPECT_EQ(tool.exitCode(), 1);
    EXPECT_TRUE(tool.err.contains("hung up")) << tool.err.toStdString();
    EXPECT_TRUE(tool.err.contains("command 2, AT+CKPD=\"2\"")) << tool.err.toStdString();
}

// The tool making its own pseudo-terminal, as scripts/run starts it.
TEST(ToolWithItsOwnPty, WaitsForAPeerAndOutlivesOneThatClosesWithoutAnswering)
{
    Tool tool({QStringLiteral("--pty"), QStringLiteral("--wait-for-peer"),
               QStringLiteral("--timeout"), QStringLiteral("200"), QStringLiteral("A")});
    ASSERT_TRUE(tool.started());
    const QByteArray path = tool.firstLine().mid(8);
    ASSERT_TRUE(path.startsWith("/dev/")) << tool.out.toStdString();
    ASSERT_TRUE(waitFor([&] { return tool.err.contains("waiting for a program to open"); }))
        << tool.err.toStdString();
    // Nobody there: the time-out for AT+CGMR has not started.
    EXPECT_EQ(tool.exitCode(1s), -1) << tool.err.toStdString();

    // A port scan: opens the device and closes it again.
    const int probe = Phone::openDevice(path);
    ASSERT_GE(probe, 0);
    {
        Phone scanner(probe);
        EXPECT_EQ(scanner.nextLine(tool), kHello);
    }
    ::close(probe);
    ASSERT_TRUE(waitFor([&] { return tool.err.contains("waiting for it to open again"); }))
        << tool.err.toStdString();

    const int fd = Phone::openDevice(path);
    ASSERT_GE(fd, 0);
    Phone phone(fd);
    EXPECT_EQ(phone.answerAll(tool), (Lines{kHello, kpd("2")}));
    EXPECT_EQ(tool.exitCode(), 0) << tool.err.toStdString();
    ::close(fd);
}

// What the end-to-end tests cannot reach: the command line's mistakes.
TEST(ToolCommandLine, MistakesExitTwoWithAMessageThatNamesThem)
{
    const struct {
        QStringList arguments;
        const char *message;
    } cases[] = {
        {{QStringLiteral("--bogus")}, "unknown option --bogus"},
        {{QStringLiteral("--pty"), QStringLiteral("--timeout")}, "missing value for --timeout"},
        {{QStringLiteral("--pty"), QStringLiteral("--chunk"), QStringLiteral("x")},
         "not a number of the right size for --chunk: x"},
        {{QStringLiteral("--pty"), QStringLiteral("--pause"), QStringLiteral("-1")},
         "not a number of the right size for --pause: -1"},
        {{QStringLiteral("Hi")}, "give either --device PATH or --pty"},
        {{QStringLiteral("--pty"), QStringLiteral("--device"), QStringLiteral("/dev/null")},
         "give either --device PATH or --pty"},
        {{QStringLiteral("--device"), QStringLiteral("/dev/null"), QStringLiteral("--wait-for-peer")},
         "--wait-for-peer needs --pty"},
    };
    for (const auto &c : cases) {
        Tool tool(c.arguments);
        ASSERT_TRUE(tool.started());
        EXPECT_EQ(tool.exitCode(), 2) << c.arguments.join(u' ').toStdString();
        EXPECT_TRUE(tool.err.contains(c.message))
            << c.arguments.join(u' ').toStdString() << ": expected \"" << c.message
            << "\" in:\n" << tool.err.toStdString();
        EXPECT_EQ(tool.out, QByteArray()) << c.arguments.join(u' ').toStdString();
    }
}

} // namespace
