// Tests of white-space collapsing and canonical normalisation on the program's own cases (the
// Unicode Consortium's test file is run elsewhere).
#include "text/normalize.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(TextNormalize, CollapseWhiteSpace) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"", ""},
        {" \t\r\n ", ""},
        {"  hello   world \n", "hello world"},
        {"\nline one\r\nline two", "line one line two"},
        {"a\u00A0b\u3000c\u2028d", "a b c d"},
        {"a \u0301b", "a b"},      // the mark rides on the separator and goes with it
        {"a\u200Bb", "a\u200Bb"},  // not White_Space
        {"a\0 b"s, "a\0 b"s},
        {"x\xC0 y", "x\xC0 y"},  // bytes other than white space are kept
    };
    for (const Case& c : cases) {
        EXPECT_EQ(text::collapseWhiteSpace(c.in), c.out) << c.in;
    }
}

TEST(TextNormalize, FormsKeepNulAndRepairBytes) {
    EXPECT_EQ(text::nfc("e\u0301\0e\u0301"s), "\u00E9\0\u00E9"s);
    EXPECT_EQ(text::nfd("\u00E9\0\u00E9"s), "e\u0301\0e\u0301"s);
    EXPECT_EQ(text::nfc("\0"s), "\0"s);
    EXPECT_EQ(text::nfc("e\xC0\u0301"), "e\uFFFD\u0301");
    EXPECT_EQ(text::nfd("\xE2\x82"), "\uFFFD");
    EXPECT_EQ(text::nfc("\u1100\u1161\u11A8"), "\uAC01");
    EXPECT_EQ(text::nfc("\u212B"), "\u00C5");  // a singleton: Angstrom sign to A with ring
    EXPECT_EQ(text::nfc("\uFB01"), "\uFB01");  // compatibility forms stay apart
}

TEST(TextNormalize, CanonicalComparison) {
    EXPECT_TRUE(text::canonicallyEqual("caf\u00E9", "cafe\u0301"));
    EXPECT_TRUE(text::canonicallyEqual("q\u0307\u0323", "q\u0323\u0307"));  // mark order
    EXPECT_FALSE(text::canonicallyEqual("Cafe", "cafe"));
    EXPECT_FALSE(text::canonicallyEqual("a\0b"s, "a"));

    EXPECT_TRUE(text::containsCanonically("un caf\u00E9 noir", "cafe\u0301"));
    EXPECT_TRUE(text::containsCanonically("", ""));
    EXPECT_TRUE(text::containsCanonically("abc", ""));
    EXPECT_TRUE(text::containsCanonically("x\0y"s, "\0y"s));
    EXPECT_FALSE(text::containsCanonically("caf\u00E9", "cafe"));  // é does not hold a bare e
    EXPECT_FALSE(text::containsCanonically("abc", "abcd"));
}

}  // namespace
