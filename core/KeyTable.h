#pragma once

#include <array>

namespace tavlun::core {

// The multi-tap key table: which character a phone key gives after a number
// of presses in a row. Columns 0 to 9 are the digit keys, column 10 is "#",
// columns 11 and 12 hold nothing. A cell holds the character's code point
// (every one of them is in Latin-1, where it equals its code in code page
// 1252); 0 means "no character".
inline constexpr int kKeyColumns = 13;
inline constexpr int kPressCounts = 21;
using KeyTable = std::array<std::array<char32_t, kPressCounts>, kKeyColumns>;

// Letters follow ITU-T E.161 from one press; accented letters and the key's
// own digit come after them; keys 0 and 1 carry the symbols. Each row lists
// the characters of press counts 1, 2, ...; a 0 leaves that count empty.
constexpr KeyTable buildKeyTable()
{
    constexpr const char32_t *rows[] = {
        U"+&@/\0%$\u00A3\0\0\0\0" U"0\0\0  ",
        U" -?!,.:\0 '\0\0\0()1",
        U"ABC\u00C5\u00C1\u00C6\u00E2\u00C7" U"2",
        U"DEF\u00E8\u00C9" U"3",
        U"GHI\u00EC" U"4",
        U"JKL5",
        U"MNO\u00D1\u00D6\u00D8\u00D2" U"6",
        U"PQRS\u00DF" U"7 \u00A3",
        U"TUV\u00DC\u00D9" U"8",
        U"WXYZ9",
        U"#*",
    };
    constexpr int lengths[] = {17, 16, 9, 6, 5, 4, 8, 8, 6, 5, 2};
    KeyTable table{};
    for (int column = 0; column < 11; ++column) {
        for (int presses = 1; presses <= lengths[column]; ++presses)
            table[column][presses] = rows[column][presses - 1];
    }
    return table;
}

inline constexpr KeyTable kKeyTable = buildKeyTable();

} // namespace tavlun::core
