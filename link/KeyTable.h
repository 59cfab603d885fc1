#pragma once

#include <array>

namespace tavlun::link {

// The multi-tap key table: which character a phone key gives after a number
// of presses in a row. Columns 0 to 9 are the digit keys, column 10 is "#",
// columns 11 and 12 hold nothing. Cells keep the character itself (Latin-1,
// which equals code page 1252 for every character of the table); 0 means
// "no character".
inline constexpr int kKeyColumns = 13;
inline constexpr int kPressCounts = 21;
using KeyTable = std::array<std::array<char16_t, kPressCounts>, kKeyColumns>;

// Builds the table. Letters follow ITU-T E.161 from one press; accented
// letters and the key's own digit come after them; keys 0 and 1 carry the
// symbols. Each row lists the characters of press counts 1, 2, ...; a 0
// leaves that count empty.
constexpr KeyTable TusTablosuKur()
{
    constexpr const char16_t *rows[] = {
        u"+&@/\0%$\u00A3\0\0\0\0" u"0\0\0  ",
        u" -?!,.:\0 '\0\0\0()1",
        u"ABC\u00C5\u00C1\u00C6\u00E2\u00C7" u"2",
        u"DEF\u00E8\u00C9" u"3",
        u"GHI\u00EC" u"4",
        u"JKL5",
        u"MNO\u00D1\u00D6\u00D8\u00D2" u"6",
        u"PQRS\u00DF" u"7 \u00A3",
        u"TUV\u00DC\u00D9" u"8",
        u"WXYZ9",
        u"#*",
    };
    constexpr int lengths[] = {17, 16, 9, 6, 5, 4, 8, 8, 6, 5, 2};
    KeyTable table{};
    for (int column = 0; column < 11; ++column) {
        for (int presses = 1; presses <= lengths[column]; ++presses)
            table[column][presses] = rows[column][presses - 1];
    }
    return table;
}

// `TusTablosu`: the key table, fixed at build time.
inline constexpr KeyTable TusTablosu = TusTablosuKur();

} // namespace tavlun::link
