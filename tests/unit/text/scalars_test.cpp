// Tests of positions in scalars, the way AT-SPI counts text, and their UTF-16 counterparts.
#include "text/scalars.h"

#include <gtest/gtest.h>

namespace {

// "aé😀b": bytes a(0) é(1,2) 😀(3-6) b(7); UTF-16 units a(0) é(1) 😀(2,3) b(4).
const std::string mixed = "a\u00e9\U0001F600b";

TEST(TextScalars, ScalarsToBytesAndBack) {
    EXPECT_EQ(text::byteOffsetOfScalars(mixed, 0), 0u);
    EXPECT_EQ(text::byteOffsetOfScalars(mixed, 2), 3u);
    EXPECT_EQ(text::byteOffsetOfScalars(mixed, 3), 7u);
    EXPECT_EQ(text::byteOffsetOfScalars(mixed, 99), mixed.size());
    EXPECT_EQ(text::byteOffsetOfScalars(mixed, -1), 0u);
    EXPECT_EQ(text::scalarOffset(mixed, 3), 2);
    EXPECT_EQ(text::scalarOffset(mixed, 5), 2);  // inside the emoji: only what ends by then
    EXPECT_EQ(text::scalarOffset(mixed, 99), 4);
}

TEST(TextScalars, ScalarsToUtf16UnitsAndBack) {
    const std::int64_t units[] = {0, 1, 2, 4, 5};
    for (std::int64_t scalars = 0; scalars <= 4; ++scalars) {
        EXPECT_EQ(text::utf16OfScalars(mixed, scalars), units[scalars]) << scalars;
        EXPECT_EQ(text::scalarsOfUtf16(mixed, units[scalars]), scalars) << scalars;
    }
    EXPECT_EQ(text::scalarsOfUtf16(mixed, 3), 2);  // the second half of the pair: its start
    EXPECT_EQ(text::utf16OfScalars(mixed, 1000), 5);
    EXPECT_EQ(text::scalarsOfUtf16(mixed, 1000), 4);
}

TEST(TextScalars, IllFormedBytesCountAsOneReplacementEach) {
    // A lone continuation byte and a truncated three-byte sequence: two U+FFFD, one unit each.
    const std::string broken = "\x80x\xE2\x82";
    EXPECT_EQ(text::utf16OfScalars(broken, 3), 3);
    EXPECT_EQ(text::byteOffsetOfScalars(broken, 2), 2u);
    EXPECT_EQ(text::scalarsOfUtf16(broken, 3), 3);
}

}  // namespace
