// Types through the keystroke backend that the program would choose for this
// session, one batch of key strings per line read, separated by tabs. After
// each batch it writes "typed", then " not:" and the keys sendKeys() refused;
// the backend's problems go to standard error. At the end of input it ends.

#include "app/SystemKeystrokes.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

using namespace tavlun;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    auto injector = keystrokes::createKeyInjector(nullptr);
    injector->onProblem = [](const QString &problem) { std::fprintf(stderr, "problem: %s\n", qPrintable(problem)); };

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        // One line at a time: the next is written once this one is answered.
        char raw[1 << 16]; // longer than any batch
        if (!std::fgets(raw, sizeof raw, stdin))
            return QCoreApplication::quit();
        const QString line = QString::fromUtf8(raw).chopped(1); // the line feed
        QString refused;
        for (const QString &keys : line.split(QLatin1Char('\t')))
            refused += injector->sendKeys(keys) ? QString() : keys;
        std::printf("typed%s%s\n", refused.isEmpty() ? "" : " not:", qPrintable(refused));
        std::fflush(stdout);
    });
    return app.exec();
}
