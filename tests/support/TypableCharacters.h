#pragma once

#include "link/KeyTable.h"

#include <QString>

namespace tavlun::test {

// Every character of the key table, then every printable Latin-1 character
// that the table does not hold, each once: what a keystroke backend must
// type as itself under any layout.
inline QString typableCharacters()
{
    QString seen;
    const auto add = [&](char16_t c) {
        if (c != 0 && !seen.contains(QChar{c}))
            seen += QChar{c};
    };
    for (const auto &column : link::TusTablosu) {
        for (const char16_t c : column)
            add(c);
    }
    for (char16_t c = 0x20; c <= 0x7E; ++c)
        add(c);
    for (char16_t c = 0xA0; c <= 0xFF; ++c)
        add(c);
    return seen;
}

} // namespace tavlun::test
