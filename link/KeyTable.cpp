#include "KeyTable.h"

#include <initializer_list>
#include <utility>

namespace tavlun::link {

namespace {

struct Row {
    int column;
    std::initializer_list<std::pair<int, char16_t>> cells; // press count -> character
};

// Letters follow ITU-T E.161 from one press; accented letters and the
// key's own digit come after them. Keys 0 and 1 carry the symbols.
const Row kRows[] = {
    {0, {{1, u'+'}, {2, u'&'}, {3, u'@'}, {4, u'/'}, {6, u'%'}, {7, u'$'}, {8, u'\u00A3'},
         {13, u'0'}, {16, u' '}, {17, u' '}}},
    {1, {{1, u' '}, {2, u'-'}, {3, u'?'}, {4, u'!'}, {5, u','}, {6, u'.'}, {7, u':'},
         {9, u' '}, {10, u'\''}, {14, u'('}, {15, u')'}, {16, u'1'}}},
    {2, {{1, u'A'}, {2, u'B'}, {3, u'C'}, {4, u'\u00C5'}, {5, u'\u00C1'}, {6, u'\u00C6'},
         {7, u'\u00E2'}, {8, u'\u00C7'}, {9, u'2'}}},
    {3, {{1, u'D'}, {2, u'E'}, {3, u'F'}, {4, u'\u00E8'}, {5, u'\u00C9'}, {6, u'3'}}},
    {4, {{1, u'G'}, {2, u'H'}, {3, u'I'}, {4, u'\u00EC'}, {5, u'4'}}},
    {5, {{1, u'J'}, {2, u'K'}, {3, u'L'}, {4, u'5'}}},
    {6, {{1, u'M'}, {2, u'N'}, {3, u'O'}, {4, u'\u00D1'}, {5, u'\u00D6'}, {6, u'\u00D8'},
         {7, u'\u00D2'}, {8, u'6'}}},
    {7, {{1, u'P'}, {2, u'Q'}, {3, u'R'}, {4, u'S'}, {5, u'\u00DF'}, {6, u'7'}, {7, u' '},
         {8, u'\u00A3'}}},
    {8, {{1, u'T'}, {2, u'U'}, {3, u'V'}, {4, u'\u00DC'}, {5, u'\u00D9'}, {6, u'8'}}},
    {9, {{1, u'W'}, {2, u'X'}, {3, u'Y'}, {4, u'Z'}, {5, u'9'}}},
    {10, {{1, u'#'}, {2, u'*'}}},
};

} // namespace

void KeyTable::TusTablosuKur()
{
    for (const Row &row : kRows) {
        for (const auto &[presses, character] : row.cells)
            TusTablosu[row.column][presses] = character;
    }
}

} // namespace tavlun::link
