// Tests of the UTF-16 measures over UTF-8 text.
#include "text/utf16.h"

#include <gtest/gtest.h>

#include "text/utf8.h"

namespace {

using namespace std::string_literals;

// "a", "é" (2 bytes), "😀" (4 bytes, 2 units), "b": bytes 0,1,3,7,8 and units 0,1,2,4,5.
const std::string sample = "a\u00E9\U0001F600b";

// The length of well-formed text is counted eight bytes at a time: every length class at its
// smallest and largest scalar, four at a time in every combination, after every number of bytes
// from 0 to 7 (so each straddles a word's end, and ends in the tail), against the units of the
// text converted; ill-formed pieces (cut short, a surrogate, a stray continuation byte) send the
// text the slow way, which must agree too.
TEST(TextUtf16, LengthOfEveryLengthClassWhereverItStands) {
    const std::string pieces[] = {"\x7F",         "\u0080",     "\u07FF",     "\u0800",
                                  "\uFFFF",       "\U00010000", "\U0010FFFF", "\xF0\x90\x80",
                                  "\xED\xA0\x80", "\x80"};
    EXPECT_EQ(text::utf16Length(""), 0);
    for (std::size_t shift = 0; shift < 8; ++shift) {
        for (const std::string& a : pieces) {
            for (const std::string& b : pieces) {
                for (const std::string& c : pieces) {
                    for (const std::string& d : pieces) {
                        const std::string text = std::string(shift, 'x') + a + b + c + d;
                        ASSERT_EQ(text::utf16Length(text),
                                  static_cast<std::int64_t>(text::toUtf16(text).size()))
                            << text;
                    }
                }
            }
        }
    }
}

TEST(TextUtf16, ByteOffsetClampsAndNeverSplitsAPair) {
    EXPECT_EQ(text::byteOffset(sample, -5), 0U);
    EXPECT_EQ(text::byteOffset(sample, 0), 0U);
    EXPECT_EQ(text::byteOffset(sample, 1), 1U);
    EXPECT_EQ(text::byteOffset(sample, 2), 3U);
    EXPECT_EQ(text::byteOffset(sample, 3), 3U);  // inside the surrogate pair
    EXPECT_EQ(text::byteOffset(sample, 4), 7U);
    EXPECT_EQ(text::byteOffset(sample, 5), 8U);
    EXPECT_EQ(text::byteOffset(sample, 99), 8U);
    EXPECT_EQ(text::byteOffset("", 3), 0U);
}

TEST(TextUtf16, Utf16OffsetClampsAndCountsToTheSequenceStart) {
    const std::int64_t expected[] = {0, 1, 1, 2, 2, 2, 2, 4, 5};
    for (std::size_t bytes = 0; bytes <= sample.size(); ++bytes) {
        EXPECT_EQ(text::utf16Offset(sample, bytes), expected[bytes]) << bytes;
    }
    EXPECT_EQ(text::utf16Offset(sample, 1000), 5);
}

TEST(TextUtf16, RoundTrips) {
    const std::string text = "x\0\u0301\U0001F1EB\U0001F1F7\xE2\x82\r\n\u4E2D"s;
    const std::int64_t length = text::utf16Length(text);
    for (std::int64_t units = 0; units <= length; ++units) {
        const std::size_t bytes = text::byteOffset(text, units);
        const std::int64_t back = text::utf16Offset(text, bytes);
        // Only an offset inside a surrogate pair moves, and then by one unit back.
        EXPECT_TRUE(back == units || back == units - 1) << units;
        EXPECT_EQ(text::byteOffset(text, back), bytes) << units;
    }
    for (std::size_t bytes = 0; bytes <= text.size(); ++bytes) {
        const std::size_t start = text::byteOffset(text, text::utf16Offset(text, bytes));
        EXPECT_LE(start, bytes);
        EXPECT_EQ(text::utf16Offset(text, start), text::utf16Offset(text, bytes));
    }
}

}  // namespace
