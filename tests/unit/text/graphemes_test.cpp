// Tests of grapheme cluster segmentation on the shapes the program meets.
#include "text/graphemes.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;
using Boundaries = std::vector<std::size_t>;

TEST(TextGraphemes, Boundaries) {
    struct Case {
        std::string text;
        Boundaries boundaries;
    };
    const Case cases[] = {
        {"", {0}},
        {"ab", {0, 1, 2}},
        {"\U0001F600a", {0, 4, 5}},                    // surrogate pair in UTF-16
        {"e\u0301\u0323x", {0, 5, 6}},                 // two combining marks
        {"\U0001F469\u200D\U0001F4BB!", {0, 11, 12}},  // woman technologist, a ZWJ sequence
        {"\U0001F44D\U0001F3FD", {0, 8}},              // skin-tone modifier
        {"\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA\U0001F1EE", {0, 8, 16, 20}},  // FR DE and one
        {"a\r\nb", {0, 1, 3, 4}},
        {"\n\r", {0, 1, 2}},
        {"\u1100\u1161\u11A8", {0, 9}},  // Hangul jamo L V T
        {"a\0\u0301"s, {0, 1, 2, 4}},    // a mark after NUL stands alone
        {"\xE2\x82\u0301", {0, 4}},      // a mark extends U+FFFD too
    };
    for (const Case& c : cases) {
        EXPECT_EQ(text::graphemeBoundaries(c.text), c.boundaries) << c.text;
    }
}

TEST(TextGraphemes, CursorReportsFirstScalarAndUnits) {
    const std::string flagThenMark = "\U0001F1EB\U0001F1F7e\u0301";
    text::ClusterCursor cursor(flagThenMark);
    const auto flag = cursor.next();
    ASSERT_TRUE(flag);
    EXPECT_EQ(flag->first, U'\U0001F1EB');
    EXPECT_EQ(flag->units, 4);
    const auto letter = cursor.next();
    ASSERT_TRUE(letter);
    EXPECT_EQ(letter->begin, 8U);
    EXPECT_EQ(letter->end, 11U);
    EXPECT_EQ(letter->first, U'e');
    EXPECT_EQ(letter->units, 2);
    EXPECT_FALSE(cursor.next());
}

}  // namespace
