// Types through the keystroke backend that the program would choose for this
// session, one batch of keys per line read, separated by tabs: "{BACKSPACE}",
// "{ENTER}", "{ESC}" or one character. After each batch it writes "typed",
// then " not:" and the keys that could not be typed (anything else among
// them); the backend's problems go to standard error. At the end of input it
// ends.

#include "keystrokes/SystemKeystrokes.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <optional>
#include <unistd.h>

using namespace tavlun;

namespace {

std::optional<core::Key> keyNamed(const QString &name)
{
    if (name == u"{BACKSPACE}")
        return core::Key::backspace();
    if (name == u"{ENTER}")
        return core::Key::enter();
    if (name == u"{ESC}")
        return core::Key::escape();
    if (const QList<uint> characters = name.toUcs4(); characters.size() == 1)
        return core::Key::character(characters.front());
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    auto injector = keystrokes::createKeyInjector(nullptr);
    injector->onProblem = [](const std::string &problem) { std::fprintf(stderr, "problem: %s\n", problem.c_str()); };

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        // One line at a time: the next is written once this one is answered.
        char raw[1 << 16]; // longer than any batch
        if (!std::fgets(raw, sizeof raw, stdin))
            return QCoreApplication::quit();
        const QString line = QString::fromUtf8(raw).chopped(1); // the line feed
        QString refused;
        for (const QString &name : line.split(QLatin1Char('\t'))) {
            const std::optional<core::Key> key = keyNamed(name);
            refused += key && injector->type(*key) ? QString() : name;
        }
        std::printf("typed%s%s\n", refused.isEmpty() ? "" : " not:", qPrintable(refused));
        std::fflush(stdout);
    });
    return app.exec();
}
