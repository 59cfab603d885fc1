// The Windows program: the main window, the session behind it, and keys
// typed into other applications with SendInput.
#include "Session.h"
#include "core/PortHelp.h"
#include "keystrokes/windows/SendInputKeyInjector.h"
#include "ui/windows/Gdi.h"
#include "ui/windows/MainWindow.h"

#include <windows.h>

#include <commctrl.h>

#include <thread>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    tavlun::keystrokes::windows::SendInputKeyInjector injector;
    // Said in a box of its own thread: the link does not stop for it.
    injector.onProblem = [](const std::string &problem) {
        tavlun::core::tellUser(problem);
        std::thread([text = tavlun::ui::windows::wide(problem)] {
            MessageBoxW(nullptr, text.c_str(), L"Tavlun", MB_OK | MB_ICONWARNING | MB_TOPMOST);
        }).detach();
    };

    tavlun::ui::windows::MainWindow window(instance);
    tavlun::app::windows::Session session(window, injector);
    window.show(show);
    return window.run();
}
