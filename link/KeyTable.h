#pragma once

#include <array>

namespace tavlun::link {

// The multi-tap key table: which character a phone key gives after a number
// of presses in a row. Columns 0 to 9 are the digit keys, column 10 is "#",
// columns 11 and 12 hold nothing. Cells keep the character itself (Latin-1,
// which equals code page 1252 for every character of the table); 0 means
// "no character".
class KeyTable {
public:
    static constexpr int kColumns = 13;
    static constexpr int kPressCounts = 21;

    // Fills the table; until it runs every cell is 0.
    void TusTablosuKur();

    // The character at (column, presses); both must be in range.
    char16_t at(int column, int presses) const { return TusTablosu[column][presses]; }

private:
    std::array<std::array<char16_t, kPressCounts>, kColumns> TusTablosu{};
};

} // namespace tavlun::link
