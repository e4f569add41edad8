// Tests of newline characters, blank text and line ends (White_Space itself is checked against
// PropList.txt elsewhere).
#include "text/white_space.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(TextWhiteSpace, Newline) {
    for (const char32_t c : {U'\n', U'\v', U'\f', U'\r', U'\u0085', U'\u2028', U'\u2029'}) {
        EXPECT_TRUE(text::isNewline(c)) << static_cast<std::uint32_t>(c);
        EXPECT_TRUE(text::isWhiteSpace(c)) << static_cast<std::uint32_t>(c);
    }
    for (const char32_t c : {U'\t', U' ', U'\u00A0', U'\u2009', U'\x0E', U'\x1C'}) {
        EXPECT_FALSE(text::isNewline(c)) << static_cast<std::uint32_t>(c);
    }
}

TEST(TextWhiteSpace, Blank) {
    EXPECT_TRUE(text::isBlank(""));
    EXPECT_TRUE(text::isBlank(" \t\r\n\u00A0\u3000\u2028"));
    EXPECT_TRUE(text::isBlank(" \u0301"));  // the mark belongs to the space's cluster
    EXPECT_FALSE(text::isBlank("\u0301 "));
    EXPECT_FALSE(text::isBlank("  x  "));
    EXPECT_FALSE(text::isBlank("\u200B"));  // zero width space is not White_Space
    EXPECT_FALSE(text::isBlank(" \0 "s));
    EXPECT_FALSE(text::isBlank("\xC2"));  // a stray byte reads as U+FFFD
}

TEST(TextWhiteSpace, EndsWithNewline) {
    for (const std::string& yes :
         {"a\n"s, "a\r"s, "a\r\n"s, "\n"s, "a\u2029"s, "a\u0085"s, "a\v"s, "a\f"s, "\xF0\n"s}) {
        EXPECT_TRUE(text::endsWithNewline(yes)) << yes;
    }
    for (const std::string& no :
         {""s, "a"s, "a\n "s, "a\n\u0301"s, "a\t"s, "a\u00A0"s, "\n\0"s, "\x85"s, "\xE2\x80"s}) {
        EXPECT_FALSE(text::endsWithNewline(no)) << no;
    }
}

}  // namespace
