// The cost of one keypad line in the main window, against how much the text
// box and the traffic log already hold. The real MainWindow and its session
// run in this process, unconnected; for each starting length the text box is
// filled in one step, and then keypad lines are fed to the link one at a
// time, each followed by the event processing (the window's updates once a
// frame, layout, painting) that the event loop would do before the next line.
//
//   tavlun_delivery_cost [--lengths 0,100000,...] [--seconds S]
//
// Prints one row per starting length: microseconds per line for the receive
// event alone and with the event processing, and their ratio to the first
// row, which is the reference (an empty text box and an empty log).

#include "app/Session.h"
#include "keystrokes/KeyInjector.h"
#include "ui/DesktopShell.h"
#include "ui/MainWindow.h"
#include "ui/PendingUpdates.h"
#include "ui/TextBox.h"

#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class NoInjector final : public tavlun::keystrokes::KeyInjector {
public:
    bool type(tavlun::core::Key) override { return true; }
};

class NoShell final : public tavlun::ui::DesktopShell {
public:
    void open(QWidget *, const QString &) override {}
    void notify(const QString &, const QString &) override {}
};

struct Row {
    QString what;
    double receiveUs;
    double totalUs;
    int lines;
};

// Text such as the accessory types: capitals and spaces, no line breaks.
QString typedText(qsizetype length)
{
    const QString pattern = QStringLiteral("TAVLUN KLAVYE ");
    QString text;
    text.reserve(length);
    while (text.size() < length)
        text += pattern;
    text.truncate(length);
    return text;
}

Row measure(const QString &what, tavlun::app::Session &session, tavlun::ui::MainWindow &window,
            QPlainTextEdit &textBox, double seconds)
{
    const std::string_view line = "AT+CKPD=\"222\"\r";
    const QString expected = QStringLiteral("C");
    // One line first, so that the first measured one finds everything settled.
    session.receive(line);
    window.flushUpdates();
    QApplication::processEvents();

    Clock::duration receiving{};
    Clock::duration total{};
    int lines = 0;
    const auto started = Clock::now();
    while (lines < 5 || (Clock::now() - started < std::chrono::duration<double>(seconds)
                         && lines < 5000)) {
        const auto t0 = Clock::now();
        session.receive(line);
        const auto t1 = Clock::now();
        QApplication::processEvents();
        const auto t2 = Clock::now();
        receiving += t1 - t0;
        total += t2 - t0;
        ++lines;
    }
    window.flushUpdates();
    if (!textBox.toPlainText().endsWith(expected)) {
        std::fprintf(stderr, "tavlun_delivery_cost: the text box does not end with C: the "
                             "lines were not delivered into it\n");
        std::exit(2);
    }
    const auto us = [lines](Clock::duration d) {
        return std::chrono::duration<double, std::micro>(d).count() / lines;
    };
    return {what, us(receiving), us(total), lines};
}

std::vector<qsizetype> parseLengths(const char *text)
{
    std::vector<qsizetype> lengths;
    for (const QString &part : QString::fromLatin1(text).split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const qsizetype n = part.toLongLong(&ok);
        if (!ok || n < 0) {
            std::fprintf(stderr, "tavlun_delivery_cost: bad length list\n");
            std::exit(64);
        }
        lengths.push_back(n);
    }
    return lengths;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<qsizetype> lengths{0, 1000, 10000, 100000, 500000, 1000000};
    double seconds = 1.0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--lengths") == 0)
            lengths = parseLengths(argv[i + 1]);
        else if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atof(argv[i + 1]);
    }

    QApplication app(argc, argv);
    NoInjector injector;
    NoShell shell;
    tavlun::ui::MainWindow window(shell);
    tavlun::app::Session session(window, injector);
    window.show();
    QApplication::processEvents();
    auto *textBox = window.findChild<tavlun::ui::TextBox *>(QStringLiteral("textBox"));
    auto *log = window.findChild<QListWidget *>(QStringLiteral("trafficLog"));
    if (!textBox || !log) {
        std::fprintf(stderr, "tavlun_delivery_cost: the window has no text box or traffic log\n");
        return 2;
    }

    std::vector<Row> rows;
    for (const qsizetype length : lengths) {
        log->clear();
        // Filled the way deliveries fill it, so that its paragraphs are
        // those that typing makes, in pieces to keep the filling quick.
        textBox->clear();
        const QString text = typedText(length);
        for (qsizetype at = 0; at < text.size(); at += 64)
            textBox->appendAtEnd(text.mid(at, 64));
        QApplication::processEvents();
        rows.push_back(measure(QStringLiteral("text %1 chars, log empty").arg(length),
                               session, window, *textBox, seconds));
    }
    // A full log: the oldest entries go out in batches.
    {
        textBox->clear();
        log->clear();
        QStringList entries;
        for (int i = 0; i < tavlun::ui::PendingUpdates::kMaxLogEntries / 2; ++i)
            entries << QStringLiteral("-> AT+CKPD=\"222\"") << QStringLiteral("<- OK");
        log->addItems(entries);
        QApplication::processEvents();
        rows.push_back(measure(QStringLiteral("text 0 chars, log full (%1 entries)")
                                   .arg(tavlun::ui::PendingUpdates::kMaxLogEntries),
                               session, window, *textBox, seconds));
    }

    // One frame's window work, the time that a line arriving meanwhile
    // waits: the update of the window with n lines' entries and text, then
    // the event processing (layout, painting), against the log's length.
    std::printf("one frame: n lines taken in, then the window's update and the event processing\n");
    std::printf("%-10s %-14s %12s\n", "lines", "log entries", "us/frame");
    for (const int logEntries : {0, 10000, tavlun::ui::PendingUpdates::kMaxLogEntries}) {
        for (const int n : {1, 20, 300}) {
            log->clear();
            textBox->clear();
            QStringList entries;
            for (int i = 0; i < logEntries / 2; ++i)
                entries << QStringLiteral("-> AT+CKPD=\"222\"") << QStringLiteral("<- OK");
            log->addItems(entries);
            window.flushUpdates();
            QApplication::processEvents();
            Clock::duration spent{};
            constexpr int frames = 50;
            for (int f = 0; f < frames; ++f) {
                for (int i = 0; i < n; ++i)
                    session.receive("AT+CKPD=\"222\"\r");
                const auto t0 = Clock::now();
                window.flushUpdates();
                QApplication::processEvents();
                spent += Clock::now() - t0;
            }
            std::printf("%-10d %-14d %12.1f\n", n, logEntries,
                        std::chrono::duration<double, std::micro>(spent).count() / frames);
        }
    }

    const Row &reference = rows.front();
    std::printf("one keypad line (AT+CKPD=\"222\"\\r, delivers C into the text box), window normal; "
                "reference: the first row\n");
    std::printf("%-42s %7s %14s %14s %12s %12s\n", "starting state", "lines", "receive us/line",
                "+events us/line", "receive x ref", "+events x ref");
    for (const Row &row : rows)
        std::printf("%-42s %7d %14.1f %14.1f %12.2f %12.2f\n", qPrintable(row.what), row.lines,
                    row.receiveUs, row.totalUs, row.receiveUs / reference.receiveUs,
                    row.totalUs / reference.totalUs);
    return 0;
}
