// Types what it reads through the portal injector, for the portal tests.
//
// Standard input, one key string a line ("{ENTER}", "a", ...), handed to
// sendKeys(). Standard output: "accepted X" or "rejected X" for each key,
// "problem: ..." for each problem reported; or "unavailable: ..." and exit
// status 3 when there is no portal.
#include "link/portal/PortalKeyInjector.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const auto say = [](const QString &line) {
        std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
        std::fflush(stdout);
    };
    QString reason;
    tavlun::link::PortalInfo info;
    if (!tavlun::link::PortalKeyInjector::probe(QDBusConnection::sessionBus(), &info, &reason)) {
        say(QStringLiteral("unavailable: ") + reason);
        return 3;
    }
    auto injector = tavlun::link::PortalKeyInjector::open(info);
    injector->onProblem = [say](const QString &problem) { say(QStringLiteral("problem: ") + problem); };
    QFile input;
    input.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
    QSocketNotifier notifier(input.handle(), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        const QByteArray line = input.readLine(); // the tests write whole lines
        if (line.isEmpty())
            notifier.setEnabled(false);
        const QString key = QString::fromUtf8(line).chopped(line.endsWith('\n') ? 1 : 0);
        if (!key.isEmpty())
            say((injector->sendKeys(key) ? QStringLiteral("accepted ") : QStringLiteral("rejected ")) + key);
    });
    return app.exec();
}
