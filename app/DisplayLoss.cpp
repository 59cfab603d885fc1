#include "DisplayLoss.h"

#include "core/PortHelp.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <unistd.h>
#include <utility>

namespace tavlun::app {

namespace {

std::function<void()> &cleanUpStep()
{
    static std::function<void()> step;
    return step;
}

QtMessageHandler &qtHandler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

// The display whose loss the message tells, from what the X11 and Wayland
// platform plugins say just before they end the process; empty for any
// other message.
const char *lostDisplay(const QString &message)
{
    if (message.startsWith(u"The X11 connection broke"))
        return "X11";
    if (message.startsWith(u"The Wayland connection broke")
        || message.startsWith(u"The Wayland connection experienced a fatal error"))
        return "Wayland";
    return "";
}

void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (const std::string display = lostDisplay(message); type == QtWarningMsg && !display.empty()) {
        if (const std::function<void()> step = std::exchange(cleanUpStep(), {}))
            step();
        core::tellUser("the connection to the " + display
                       + " display was lost (its server ended, as at logout); the port is closed and "
                         "Tavlun ends.");
        // Qt would go on to run every static destructor with its display
        // gone; with the port closed there is nothing left to do.
        std::fflush(nullptr);
        _exit(1);
    }
    if (qtHandler())
        qtHandler()(type, context, message);
}

} // namespace

DisplayLossCleanUp::DisplayLossCleanUp(std::function<void()> cleanUp)
{
    cleanUpStep() = std::move(cleanUp);
    qtHandler() = qInstallMessageHandler(&handleMessage);
}

DisplayLossCleanUp::~DisplayLossCleanUp()
{
    qInstallMessageHandler(qtHandler());
    cleanUpStep() = {};
}

} // namespace tavlun::app
