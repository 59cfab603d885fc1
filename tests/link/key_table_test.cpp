#include "link/KeyTable.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

using tavlun::link::KeyTable;

namespace {

// Every filled cell, written out cell by cell from the key rows:
// {column, presses} -> code page 1252 code.
const std::map<std::pair<int, int>, int> kFilled = {
    {{0, 1}, 0x2B}, {{0, 2}, 0x26}, {{0, 3}, 0x40}, {{0, 4}, 0x2F}, {{0, 6}, 0x25},
    {{0, 7}, 0x24}, {{0, 8}, 0xA3}, {{0, 13}, 0x30}, {{0, 16}, 0x20}, {{0, 17}, 0x20},
    {{1, 1}, 0x20}, {{1, 2}, 0x2D}, {{1, 3}, 0x3F}, {{1, 4}, 0x21}, {{1, 5}, 0x2C},
    {{1, 6}, 0x2E}, {{1, 7}, 0x3A}, {{1, 9}, 0x20}, {{1, 10}, 0x27}, {{1, 14}, 0x28},
    {{1, 15}, 0x29}, {{1, 16}, 0x31},
    {{2, 1}, 0x41}, {{2, 2}, 0x42}, {{2, 3}, 0x43}, {{2, 4}, 0xC5}, {{2, 5}, 0xC1},
    {{2, 6}, 0xC6}, {{2, 7}, 0xE2}, {{2, 8}, 0xC7}, {{2, 9}, 0x32},
    {{3, 1}, 0x44}, {{3, 2}, 0x45}, {{3, 3}, 0x46}, {{3, 4}, 0xE8}, {{3, 5}, 0xC9},
    {{3, 6}, 0x33},
    {{4, 1}, 0x47}, {{4, 2}, 0x48}, {{4, 3}, 0x49}, {{4, 4}, 0xEC}, {{4, 5}, 0x34},
    {{5, 1}, 0x4A}, {{5, 2}, 0x4B}, {{5, 3}, 0x4C}, {{5, 4}, 0x35},
    {{6, 1}, 0x4D}, {{6, 2}, 0x4E}, {{6, 3}, 0x4F}, {{6, 4}, 0xD1}, {{6, 5}, 0xD6},
    {{6, 6}, 0xD8}, {{6, 7}, 0xD2}, {{6, 8}, 0x36},
    {{7, 1}, 0x50}, {{7, 2}, 0x51}, {{7, 3}, 0x52}, {{7, 4}, 0x53}, {{7, 5}, 0xDF},
    {{7, 6}, 0x37}, {{7, 7}, 0x20}, {{7, 8}, 0xA3},
    {{8, 1}, 0x54}, {{8, 2}, 0x55}, {{8, 3}, 0x56}, {{8, 4}, 0xDC}, {{8, 5}, 0xD9},
    {{8, 6}, 0x38},
    {{9, 1}, 0x57}, {{9, 2}, 0x58}, {{9, 3}, 0x59}, {{9, 4}, 0x5A}, {{9, 5}, 0x39},
    {{10, 1}, 0x23}, {{10, 2}, 0x2A},
};

TEST(KeyTable, EveryCellMatchesTheKeyRowsAndNothingElseIsFilled)
{
    ASSERT_EQ(kFilled.size(), 75u);
    KeyTable table;
    table.TusTablosuKur();
    for (int column = 0; column < KeyTable::kColumns; ++column) {
        for (int presses = 0; presses < KeyTable::kPressCounts; ++presses) {
            const auto found = kFilled.find({column, presses});
            const int expected = found == kFilled.end() ? 0 : found->second;
            EXPECT_EQ(table.at(column, presses), expected)
                << "key " << column << " pressed " << presses << " times";
        }
    }
}

TEST(KeyTable, EveryCellIsEmptyUntilFilled)
{
    KeyTable table;
    for (int column = 0; column < KeyTable::kColumns; ++column)
        for (int presses = 0; presses < KeyTable::kPressCounts; ++presses)
            EXPECT_EQ(table.at(column, presses), 0) << column << "," << presses;
}

} // namespace
