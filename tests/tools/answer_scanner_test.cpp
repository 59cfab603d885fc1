#include "tools/accessory/Dialogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using tavlun::accessory::AnswerScanner;

namespace {

// Feeds the reads in turn; the index of the read that completed an answer,
// or -1.
int answeredAt(const std::vector<std::string> &reads)
{
    AnswerScanner scanner;
    for (std::size_t i = 0; i < reads.size(); ++i) {
        if (scanner.feed(reads[i]))
            return static_cast<int>(i);
    }
    return -1;
}

TEST(AnswerScanner, FindsTheAnswerSplitAnywhereAndAmongOtherBytesOnly)
{
    EXPECT_EQ(answeredAt({"O", "K", "\r", "\n"}), 3);
    EXPECT_EQ(answeredAt({"AT+CGMR\r", "junk OOK", "\r\nmore"}), 2);
    EXPECT_EQ(answeredAt({"OK", "OK", "\r", "\n"}), 3);
    EXPECT_EQ(answeredAt({"OK\n", "OK\r", "ok\r\n", "O K\r\n", "O", std::string("\0K\r\n", 4)}),
              -1);
}

TEST(AnswerScanner, ResetForgetsAPartialAnswer)
{
    AnswerScanner scanner;
    EXPECT_FALSE(scanner.feed("OK\r"));
    scanner.reset();
    EXPECT_FALSE(scanner.feed("\n"));
    EXPECT_TRUE(scanner.feed("OK\r\n"));
}

} // namespace
