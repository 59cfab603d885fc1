// Types what it reads through the portal injector, for the portal tests.
//
// Standard input, one command a line: "key X" hands X ("{ENTER}", "a", ...)
// to sendKeys(); "ask" requests the permission. Standard output: "version
// N" and "layout check on|off" at start, "accepted X" or "rejected X" for
// each key, "problem: ..." for each problem reported; or "unavailable:
// ..." and exit status 3 when there is no portal.
#include "link/portal/PortalKeyInjector.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {

void say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString reason;
    auto injector = tavlun::link::PortalKeyInjector::open(&reason);
    if (!injector) {
        say(QStringLiteral("unavailable: ") + reason);
        return 3;
    }
    injector->onProblem = [](const QString &problem) { say(QStringLiteral("problem: ") + problem); };
    say(QStringLiteral("version %1").arg(injector->version()));
    say(QStringLiteral("layout check %1").arg(QLatin1String(injector->checksLayout() ? "on" : "off")));

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            input.setEnabled(false);
            return;
        }
        pending.append(buffer, count);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QString line = QString::fromUtf8(pending.left(end));
            if (line == QLatin1String("ask")) {
                injector->requestPermission();
            } else if (line.startsWith(QLatin1String("key "))) {
                const QString key = line.mid(4);
                say((injector->sendKeys(key) ? QStringLiteral("accepted ") : QStringLiteral("rejected "))
                    + key);
            }
        }
    });
    return app.exec();
}
