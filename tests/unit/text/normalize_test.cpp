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
        // A prepended mark takes the space after it into its cluster, but not a control.
        {"a\u0600  b", "a\u0600  b"},
        {"a\u0600 b", "a\u0600 b"},
        {"\u0600\tb", "\u0600 b"},
        {"\u0600\t\tb", "\u0600 b"},
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

// The quick check that lets a text skip normalisation must never say yes to a text NFC would
// change; strings straddle it with combining marks at the edges, Hangul, singletons and marks
// that compose without being combining marks.
TEST(TextNormalize, QuickCheckNeverPassesATextNfcWouldChange) {
    const std::string cases[] = {
        "",
        "plain ascii",
        "caf\u00E9\u2026 na\u00EFve",       // Latin-1 and the ellipsis: already NFC
        "e\u0301",                          // composes
        "\u0301start",                      // a mark at the start
        "end\u0301",                        // a mark at the end
        "\u00E9\u0323",                     // a composite followed by a mark that reorders
        "\uAC00",                           // a Hangul syllable
        "\uAC00\u11A8",                     // and a trailing consonant that composes with it
        "\u1100\u1161",                     // leading consonant and vowel
        "\u212B",                           // a singleton
        "\u2000",                           // a singleton among spaces
        "\u0B47\u0B3E",                     // a starter that is a second half
        "\u0F73",                           // a non-starter decomposition
        "\U0001F469\u200D\U0001F4BB",       // an emoji sequence: NFC leaves it
        "\u0915\u093C",                     // a mark that is composition-excluded
        "x\xC0y",                           // ill-formed bytes
        std::string(1000, 'a') + "\u0301",  // the mark far into the text
    };
    for (const std::string& c : cases) {
        if (text::isNfc(c)) {
            EXPECT_EQ(text::nfc(c), c) << c;
        }
    }
    EXPECT_TRUE(text::isNfc("caf\u00E9\u2026 na\u00EFve"));
    EXPECT_TRUE(text::isNfc("\uAC00 \U0001F469\u200D\U0001F4BB"));
    EXPECT_FALSE(text::isNfc("e\u0301"));
    EXPECT_FALSE(text::isNfc("\u212B"));
    EXPECT_FALSE(text::isNfc("\uAC00\u11A8"));
    EXPECT_FALSE(text::isNfc("\u0B47\u0B3E"));
    EXPECT_FALSE(text::isNfc("x\xC0y"));
}

}  // namespace
