// Tests of clipping to a UTF-16 limit at cluster boundaries.
#include "text/clip.h"

#include <chrono>

#include <gtest/gtest.h>

#include "text/utf16.h"

namespace {

using namespace std::string_literals;

void expectClip(const std::string& in, std::int64_t to, const std::string& out, bool truncated) {
    const text::Clipped clipped = text::clip(in, to);
    EXPECT_EQ(clipped.text, out) << in << " to " << to;
    EXPECT_EQ(clipped.truncated, truncated) << in << " to " << to;
}

TEST(TextClip, WithinTheLimitIsUnchanged) {
    expectClip("", 0, "", false);
    expectClip("abc", 3, "abc", false);
    expectClip("ab\U0001F600", 4, "ab\U0001F600", false);
    expectClip("a\0b"s, 3, "a\0b"s, false);
    expectClip("abc", INT64_MAX, "abc", false);
}

TEST(TextClip, DropsTheClusterThatStraddlesTheLimit) {
    expectClip("ab\U0001F600", 3, "ab", true);
    expectClip("ab\U0001F600", 2, "ab", true);  // exactly on a boundary
    expectClip("e\u0301x", 1, "", true);
    expectClip("e\u0301x", 2, "e\u0301", true);
    expectClip("\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA", 6, "\U0001F1EB\U0001F1F7", true);
    expectClip("\U0001F469\u200D\U0001F4BBz", 4, "", true);
    expectClip("a\r\nb", 2, "a", true);
    expectClip("a\0b"s, 2, "a\0"s, true);
}

TEST(TextClip, NoRoomGivesEmptyTruncated) {
    expectClip("abc", 0, "", true);
    expectClip("abc", -7, "", true);
    // The empty text exceeds a negative limit too.
    expectClip("", -1, "", true);
}

TEST(TextClip, IllFormedBytesCountAsReplacementCharacters) {
    // "\xC0\xAF" is two U+FFFD, "\xE2\x82" one, each one unit; the bytes are kept as they are.
    expectClip("\xC0\xAF\xE2\x82z", 3, "\xC0\xAF\xE2\x82", true);
    expectClip("\xC0\xAF\xE2\x82z", 2, "\xC0\xAF", true);
}

TEST(TextClip, HandlesTwentyMegabytes) {
    std::string big;
    while (big.size() < 20'000'000) {
        big += "word e\u0301 \U0001F600 ";
    }
    const std::int64_t length = text::utf16Length(big);
    const auto start = std::chrono::steady_clock::now();
    const text::Clipped near = text::clip(big, length - 1);
    const text::Clipped whole = text::clip(big, length);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(near.truncated);
    EXPECT_EQ(near.text.size(), big.size() - 1);  // only the final space goes
    EXPECT_FALSE(whole.truncated);
    EXPECT_EQ(whole.text.size(), big.size());
    // A loose bound against quadratic work, not a performance measurement.
    EXPECT_LT(elapsed, std::chrono::seconds(20));
}

}  // namespace
