// Tests of UTF-8 validity, repair and the UTF-16 conversions.
#include "text/utf8.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

const std::string fffd = "\xEF\xBF\xBD";

TEST(TextUtf8, ValidityRejectsEveryIllFormedShape) {
    EXPECT_TRUE(text::isValidUtf8(""));
    EXPECT_TRUE(text::isValidUtf8("a\0b"s));
    EXPECT_TRUE(text::isValidUtf8("\xF4\x8F\xBF\xBF"));  // U+10FFFF
    EXPECT_TRUE(text::isValidUtf8("\xED\x9F\xBF"));      // U+D7FF, just below the surrogates
    for (const char* bad :
         {"\x80", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
          "\xF5\x80\x80\x80", "\xFF", "\xE2\x82", "\xF0\x9F\x98"}) {
        EXPECT_FALSE(text::isValidUtf8(bad)) << bad;
    }
}

TEST(TextUtf8, RepairReplacesEachMaximalSubpart) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        // The example of the Unicode Standard's table 3-8.
        {"a\xF1\x80\x80\xE1\x80\xC2"
         "b\x80"
         "c\x80\xBF"
         "d",
         "a" + fffd + fffd + fffd + "b" + fffd + "c" + fffd + fffd + "d"},
        {"\xC0\xAF", fffd + fffd},
        {"\xE0\x80\xAF", fffd + fffd + fffd},
        {"\xED\xA0\x80", fffd + fffd + fffd},
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},
        {"x\xF0\x9F\x98", "x" + fffd},
        {"\xE2\x82\xAC\0\xE2\x82"s, "\xE2\x82\xAC\0"s + fffd},
        {fffd, fffd},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(text::toValidUtf8(c.in), c.out) << c.in;
    }
}

TEST(TextUtf8, FirstScalar) {
    EXPECT_EQ(text::firstScalar(""), std::nullopt);
    EXPECT_EQ(text::firstScalar("\0a"s), U'\0');
    EXPECT_EQ(text::firstScalar("\xF0\x9F\x98\x80!"), U'\U0001F600');
    EXPECT_EQ(text::firstScalar("\xE2\x82"), U'\uFFFD');
}

TEST(TextUtf8, AppendEncodesEveryLengthAndRefusesNonScalars) {
    std::string out;
    for (const char32_t c :
         {U'\x7F', U'\x80', U'\u07FF', U'\u0800', U'\uFFFF', U'\U00010000', U'\U0010FFFF'}) {
        text::appendUtf8(out, c);
    }
    EXPECT_EQ(out, "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
    out.clear();
    text::appendUtf8(out, 0xD800);
    text::appendUtf8(out, 0x110000);
    EXPECT_EQ(out, fffd + fffd);
}

TEST(TextUtf8, Utf16RoundTripAndLoneSurrogates) {
    const std::string mixed = "a\0\u00E9\u20AC\U0001F600z"s;
    const std::u16string units = text::toUtf16(mixed);
    EXPECT_EQ(units, u"a\0\u00E9\u20AC\U0001F600z"s);
    EXPECT_EQ(text::fromUtf16(units), mixed);

    EXPECT_EQ(text::toUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(text::fromUtf16(u"a\xD83D"), "a" + fffd);
    EXPECT_EQ(text::fromUtf16(u"\xDE00\xD83D"), fffd + fffd);  // low before high: no pair
    EXPECT_EQ(text::fromUtf16(u"\xD83D\xD83D\xDE00"), fffd + "\U0001F600");
}

}  // namespace
