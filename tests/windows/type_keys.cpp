// Types its argument through the program's SendInput injector, one
// character after another, into whatever window has the focus; exits 0 when
// every key was sent. For the end-to-end tests.
#include "keystrokes/windows/SendInputKeyInjector.h"

#include <string>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2)
        return 2;
    tavlun::keystrokes::windows::SendInputKeyInjector injector;
    bool sent = true;
    const std::wstring text = argv[1];
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        sent = injector.type(tavlun::core::Key::character(c)) && sent;
    }
    return sent ? 0 : 1;
}
