// The landed rule, and the read-back judge that applies it to every value an insert reads:
// white space and canonical spellings do not count, letter case does, and the judge answers a
// value it has seen before as it did then.
#include "insert/landed.h"

#include <gtest/gtest.h>

namespace {

TEST(InsertLanded, WhiteSpaceAndCanonicalFormsDoNotCountCaseDoes) {
    struct Case {
        const char* text;
        const char* value;
        bool landed;
    };
    const Case cases[] = {
        {"two\nlines", "x two  lines y", true},
        {"  padded  ", "padded", true},
        {"caf\u00E9", "un cafe\u0301 noir", true},      // NFD in the field
        {"cafe\u0301", "un caf\u00E9 noir", true},      // NFD in the paste
        {"caf\u00E9\u2026", "caf\u00E9\u2026!", true},  // already NFC on both sides
        {"\uAC00", "\u1100\u1161", true},               // Hangul, decomposed in the field
        {"Quiet", "quiet", false},
        {"cafe", "caf\u00E9", false},  // é holds no bare e
        {"a\u0301", "a", false},       // a mark at the end of the paste
        {"", "anything", true},
        {" \n", "", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(insert::landed(c.text, c.value), c.landed) << c.text << " in " << c.value;
        EXPECT_EQ(insert::PasteCheck(c.text).landedIn(c.value), c.landed) << c.text;
    }
}

TEST(InsertLanded, TheJudgeTellsAnUnchangedValueCanonicallyAndRemembersItsAnswers) {
    insert::ReadBackJudge judge("caf\u00E9", "before cafe\u0301");
    EXPECT_TRUE(judge.unchanged("before caf\u00E9"));  // the same text, composed
    EXPECT_TRUE(judge.landedIn("before caf\u00E9"));   // and it holds the text already
    EXPECT_FALSE(judge.unchanged("before caf\u00E9 caf\u00E9"));
    EXPECT_TRUE(judge.landedIn("before caf\u00E9 caf\u00E9"));
    // Asked in the other order, and again after another value: the same answers.
    EXPECT_FALSE(judge.landedIn("before"));
    EXPECT_FALSE(judge.unchanged("before"));
    EXPECT_TRUE(judge.unchanged("before cafe\u0301"));
    EXPECT_FALSE(judge.landedIn("before"));
}

}  // namespace
