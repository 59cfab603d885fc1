// An X client for tests: maps a window, takes the input focus and writes a
// line to stdout for every key press it receives, flushed at once:
//
//   ready
//   key <monotonic ns> <keycode> <state hex> <keysym hex> <UTF-8 text as hex, or ->
//
// The text is what Xutf8LookupString gives, as an application would see it.
// Other lines ("focus-out", ...) are diagnostics. Runs until killed or until
// the display goes away.

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>

#include <clocale>
#include <cstdio>
#include <ctime>

namespace {

long long monotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

int ignoreErrors(Display *, XErrorEvent *error)
{
    std::fprintf(stdout, "x-error %d\n", error->error_code);
    std::fflush(stdout);
    return 0;
}

void printKey(XIC ic, XKeyEvent *key)
{
    const long long received = monotonicNanoseconds();
    char text[64];
    KeySym keysym = NoSymbol;
    Status status = 0;
    int length = Xutf8LookupString(ic, key, text, sizeof text, &keysym, &status);
    if (status != XLookupChars && status != XLookupBoth)
        length = 0;
    if (status != XLookupKeySym && status != XLookupBoth)
        keysym = NoSymbol;
    std::printf("key %lld %u %x %lx ", received, key->keycode, key->state, keysym);
    if (length <= 0)
        std::printf("-");
    for (int i = 0; i < length; ++i)
        std::printf("%02x", static_cast<unsigned char>(text[i]));
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

int main()
{
    if (!std::setlocale(LC_ALL, "C.UTF-8"))
        std::setlocale(LC_ALL, "");
    XSetLocaleModifiers("@im=none");

    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "key_recorder: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(&ignoreErrors);

    // libX11 reads the keyboard map, and asks the server for notice of its
    // changes, only at the first key it looks up; the request then waits in
    // the output buffer. A key bound in that window is never seen: it comes
    // out as NoSymbol for as long as the recorder runs. Do both now, and
    // make sure that the server has the request before "ready".
    XkbKeycodeToKeysym(display, 0, 0, 0);
    XSync(display, False);

    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 320, 120, 0,
                                              BlackPixel(display, screen), WhitePixel(display, screen));
    XStoreName(display, window, "key recorder");
    XSelectInput(display, window, KeyPressMask | FocusChangeMask | ExposureMask | StructureNotifyMask);

    XIM im = XOpenIM(display, nullptr, nullptr, nullptr);
    if (!im) {
        std::fprintf(stderr, "key_recorder: no input method\n");
        return 1;
    }
    XIC ic = XCreateIC(im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, window,
                       XNFocusWindow, window, nullptr);
    if (!ic) {
        std::fprintf(stderr, "key_recorder: no input context\n");
        return 1;
    }
    XMapRaised(display, window);

    bool ready = false;
    for (;;) {
        if (!ready && XPending(display) == 0) {
            // A window manager that is still starting may drop the map
            // request, and focus can go astray: ask again while nothing
            // happens.
            pollfd connection{ConnectionNumber(display), POLLIN, 0};
            if (poll(&connection, 1, 100) == 0) {
                XWindowAttributes attributes;
                XGetWindowAttributes(display, window, &attributes);
                if (attributes.map_state != IsViewable)
                    XMapRaised(display, window);
                else
                    XSetInputFocus(display, window, RevertToParent, CurrentTime);
                XFlush(display);
                continue;
            }
        }
        XEvent event;
        XNextEvent(display, &event);
        if (XFilterEvent(&event, None))
            continue;
        switch (event.type) {
        case Expose:
            // The window is viewable now, so it can take the focus.
            if (!ready)
                XSetInputFocus(display, window, RevertToParent, CurrentTime);
            break;
        case FocusIn:
            if (!ready && event.xfocus.window == window) {
                ready = true;
                XSetICFocus(ic);
                std::printf("ready\n");
                std::fflush(stdout);
            }
            break;
        case FocusOut:
            if (event.xfocus.mode == NotifyNormal && event.xfocus.detail != NotifyInferior) {
                std::printf("focus-out\n");
                std::fflush(stdout);
            }
            break;
        case MappingNotify:
            XRefreshKeyboardMapping(&event.xmapping);
            break;
        case KeyPress:
            printKey(ic, &event.xkey);
            break;
        default:
            break;
        }
    }
}
