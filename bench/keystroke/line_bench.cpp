// Time from a keypad line reaching the serial port until the focused X
// client receives the key press it decodes to, through the program's own
// path: the port on a pseudo-terminal read on its thread, the link, the
// window side's dispatch and delivery while the window is minimised, and the
// XTest injector. Beside it, in the same run and taking turns with it, the
// injector alone typing the same character.

#include "KeystrokeFigures.h"
#include "XSession.h"
#include "app/Session.h"
#include "keystrokes/x11/X11KeyInjector.h"
#include "ui/DesktopShell.h"
#include "ui/MainWindow.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace tavlun {

namespace {

using std::chrono::milliseconds;

constexpr int kRounds = 10;
constexpr int kKeysPerRound = 20;
constexpr milliseconds kArrival{3000};

class NoShell final : public ui::DesktopShell {
public:
    void open(QWidget *, const QString &) override {}
    void notify(const QString &, const QString &) override {}
};

// The next key the recorder reports, with the program's event loop running
// meanwhile (the line's way to the injector passes through it).
std::optional<test::RecordedKey> nextKeyServingEvents(test::XSession &session)
{
    const auto end = std::chrono::steady_clock::now() + kArrival;
    while (std::chrono::steady_clock::now() < end) {
        if (auto key = session.nextKey(milliseconds(0)))
            return key;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return std::nullopt;
}

} // namespace

int runLineBench(test::XSession &session, keystrokes::KeyInjector &injector)
{
    int controller = -1;
    int device = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&controller, &device, name, &raw, nullptr) != 0) {
        std::fprintf(stderr, "keystroke_bench: openpty failed\n");
        return 1;
    }
    NoShell shell;
    ui::MainWindow window(shell);
    window.setWindowState(Qt::WindowMinimized); // keys go to the focused client
    app::Session program(window, injector);
    if (!program.port().open(name)) {
        std::fprintf(stderr, "keystroke_bench: cannot open %s\n", name);
        return 1;
    }
    QSocketNotifier recorderOutput(session.recorderFd(), QSocketNotifier::Read);

    const QByteArray line("AT+CKPD=\"2\"\r"); // decodes to A
    const QString expected = QStringLiteral("A");
    char answer[16];
    Figures throughProgram;
    Figures injectorAlone;
    const auto record = [&](Figures &figures, long long start, bool sent) {
        const auto key = sent ? nextKeyServingEvents(session) : std::nullopt;
        if (!key) {
            ++figures.missing;
            return;
        }
        if (key->text != expected)
            ++figures.wrong;
        figures.micros.push_back(double(key->receivedNs - start) / 1000.0);
    };
    for (int round = 0; round <= kRounds; ++round) {
        Figures scratch; // round 0 warms both paths up
        Figures &line_ = round == 0 ? scratch : throughProgram;
        Figures &alone = round == 0 ? scratch : injectorAlone;
        for (int i = 0; i < kKeysPerRound; ++i) {
            const long long start = nowNs();
            const bool written = write(controller, line.data(), size_t(line.size())) == line.size();
            record(line_, start, written);
            (void)!read(controller, answer, sizeof answer); // "OK\r\n", long since there
        }
        for (int i = 0; i < kKeysPerRound; ++i) {
            const long long start = nowNs();
            record(alone, start, injector.type(keyOf(expected)));
        }
    }
    std::printf("\nLine received to key at the client (a keypad line written to the port's "
                "pseudo-terminal, decoded\nand typed while the window is minimised), beside the "
                "injector alone typing the same key;\n%d keys each, taking turns %d at a time:\n",
                kRounds * kKeysPerRound, kKeysPerRound);
    printHeading("injector", "", "case");
    printRow("'A' from AT+CKPD=\"2\"", throughProgram, injectorAlone, "injector");
    std::printf("%-34s %9.1f %9.1f   (line minus injector alone, microseconds)\n", "difference",
                throughProgram.median() - injectorAlone.median(),
                throughProgram.p99() - injectorAlone.p99());
    close(device);
    close(controller);
    return 0;
}

} // namespace tavlun
