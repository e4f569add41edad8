// Tests of white-space collapsing and canonical normalisation on the program's own cases (the
// Unicode Consortium's test file is run elsewhere).
#include "text/normalize.h"

#include <vector>

#include <gtest/gtest.h>
#include <utf8proc.h>

#include "support/slow_text.h"
#include "text/decode.h"
#include "text/utf8.h"

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

// The quick check that lets a text skip normalisation, on every code point against utf8proc's
// full normalisation: it passes exactly the starters that are their own NFC, no second half of a
// composition (found the long way, as the last code point of a composite's decomposition) and no
// composite that begins with one (Unicode 16's Kirat Rai vowel signs), so that U+0300, below
// which nothing is looked up, and the Hangul ranges sit where they should.
// A composite taken apart, with its first part composed, and every encoding cut short fail it.
TEST(TextNormalize, QuickCheckAgreesWithFullNormalisationOnEveryCodePoint) {
    constexpr char32_t end = 0x110000;
    int mismatches = 0;
    const auto expect = [&](bool holds, char32_t c, const char* what) {
        if (!holds && ++mismatches <= 20) {
            ADD_FAILURE() << what << " U+" << std::hex << static_cast<std::uint32_t>(c);
        }
    };
    std::vector<bool> secondHalf(end);
    std::vector<bool> ownNfc(end, true);
    std::vector<char32_t> firstPart(end, 0);
    const auto surrogate = [](char32_t c) { return c >= 0xD800 && c <= 0xDFFF; };
    for (char32_t c = 0; c < end; ++c) {
        utf8proc_int32_t parts[4];
        const auto code = static_cast<utf8proc_int32_t>(c);
        if (surrogate(c) ||
            (utf8proc_decompose_char(code, parts, 4, UTF8PROC_DECOMPOSE, nullptr) == 1 &&
             parts[0] == code)) {
            continue;  // no decomposition: its own NFC, and no composite
        }
        std::string single;
        text::appendUtf8(single, c);
        const std::string decomposed = slowtext::nfd(single);
        firstPart[c] = text::decodeAt(decomposed, 0).scalar;
        ownNfc[c] = slowtext::nfc(single) == single;
        if (ownNfc[c]) {
            std::size_t last = decomposed.size() - 1;
            while ((static_cast<unsigned char>(decomposed[last]) & 0xC0) == 0x80) {
                --last;
            }
            secondHalf[text::decodeAt(decomposed, last).scalar] = true;
            const std::string apart =
                slowtext::nfc(decomposed.substr(0, last)) + decomposed.substr(last);
            expect(!text::isNfc(apart), c, "taken apart:");
        }
    }
    std::string single;  // one buffer for every code point: the loop allocates nothing
    for (char32_t c = 0; c < end; ++c) {
        if (surrogate(c)) {
            continue;
        }
        single.clear();
        text::appendUtf8(single, c);
        const bool stable =
            utf8proc_get_property(static_cast<utf8proc_int32_t>(c))->combining_class == 0 &&
            ownNfc[c] && !secondHalf[c] && !secondHalf[firstPart[c]];
        expect(text::isNfc(single) == stable, c, "alone:");
        expect(single.size() == 1 ||
                   !text::isNfc(std::string_view(single).substr(0, single.size() - 1)),
               c, "cut short:");
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
