#include "BackendChoice.h"

#include <QStringList>

namespace tavlun::keystrokes {

namespace {

const QString kX11OnlyNotice = QStringLiteral(
    "Tuşlar yalnızca X11 uygulamalarına gider: bu Wayland masaüstü sanal klavye ya da "
    "uzak masaüstü izni sunmuyor.\n"
    "Only X11 applications receive the keys: this Wayland desktop offers neither a virtual "
    "keyboard nor the desktop portal's remote desktop, so type into an X11 application, "
    "or into Tavlun's own text box with its window open.");

} // namespace

bool SessionFacts::isWayland() const
{
    return !waylandDisplay.isEmpty() || sessionType.compare(QStringLiteral("wayland"), Qt::CaseInsensitive) == 0;
}

bool SessionFacts::isGnomeOrKde() const
{
    return currentDesktopIs(QStringLiteral("GNOME")) || isKde();
}

bool SessionFacts::isKde() const
{
    return currentDesktopIs(QStringLiteral("KDE"));
}

bool SessionFacts::currentDesktopIs(const QString &desktop) const
{
    const QStringList names = currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return names.contains(desktop, Qt::CaseInsensitive);
}

SessionFacts SessionFacts::fromEnvironment()
{
    SessionFacts facts;
    facts.sessionType = qEnvironmentVariable("XDG_SESSION_TYPE");
    facts.waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    facts.x11Display = qEnvironmentVariable("DISPLAY");
    facts.currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    facts.swaySocket = qEnvironmentVariable("SWAYSOCK");
    return facts;
}

BackendChoice chooseBackend(const SessionFacts &facts)
{
    if (!facts.isWayland()) {
        if (!facts.x11Display.isEmpty())
            return {Backend::XTest, QStringLiteral("an X11 session (DISPLAY=%1)").arg(facts.x11Display), {}};
        return {Backend::Unavailable, QStringLiteral("no X display (DISPLAY is not set) and no Wayland session"),
                {}};
    }
    if (facts.virtualKeyboard) {
        QString why = QStringLiteral("a Wayland session whose compositor offers a virtual keyboard");
        if (!facts.swaySocket.isEmpty())
            why += QStringLiteral("; Tavlun's window in the scratchpad counts as minimised");
        return {Backend::VirtualKeyboard, why, {}};
    }

    QString missing = facts.virtualKeyboardProblem.isEmpty()
        ? QStringLiteral("no virtual keyboard")
        : facts.virtualKeyboardProblem;
    if (facts.remoteDesktopPortalVersion > 0) {
        if (facts.isGnomeOrKde())
            return {Backend::Portal,
                    QStringLiteral("a %1 Wayland session with the desktop portal's RemoteDesktop, version %2")
                        .arg(facts.currentDesktop)
                        .arg(facts.remoteDesktopPortalVersion),
                    {}};
        missing += QStringLiteral("; the RemoteDesktop portal serves GNOME and KDE only");
    } else {
        missing += QStringLiteral("; no RemoteDesktop portal");
    }
    if (!facts.x11Display.isEmpty())
        return {Backend::XTestThroughXWayland,
                QStringLiteral("a Wayland session (%1) with XWayland (DISPLAY=%2): only X11 applications "
                               "will receive the keys")
                    .arg(missing, facts.x11Display),
                kX11OnlyNotice};
    return {Backend::Unavailable,
            QStringLiteral("a Wayland session (%1) without XWayland (DISPLAY is not set)").arg(missing), {}};
}

const char *backendName(Backend backend)
{
    switch (backend) {
    case Backend::XTest:
        return "XTest";
    case Backend::VirtualKeyboard:
        return "Wayland virtual keyboard";
    case Backend::Portal:
        return "desktop portal RemoteDesktop";
    case Backend::XTestThroughXWayland:
        return "XTest through XWayland";
    case Backend::Unavailable:
        break;
    }
    return "none";
}

QByteArray preferredQtPlatform(const SessionFacts &facts, const QByteArray &requested)
{
    if (!requested.isEmpty() || !facts.isWayland() || facts.x11Display.isEmpty() || !facts.swaySocket.isEmpty())
        return {};
    return QByteArrayLiteral("xcb");
}

} // namespace tavlun::keystrokes
