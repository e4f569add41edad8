// The landed rule, and the read-back judge that applies it to every value an insert reads:
// white space and canonical spellings do not count, letter case does, and the judge answers a
// value it has seen before as it did then.
#include "insert/landed.h"

#include <cstdint>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "support/slow_text.h"
#include "text/normalize.h"

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

// The judge keeps its answers for the last value only. Over every sequence of three reads from
// values that differ in what it keeps (in NFC or not, holding the paste or not, the value from
// before respelled in either direction), each asked any of its three questions, every answer is
// the rule's for that value: pastes and values before come composed and decomposed, and two of
// the values before hold the paste already.
TEST(InsertLanded, TheJudgeAnswersEachValueAsTheRuleDoesInEverySequence) {
    const std::string paste = "caf\u00E9 noir";
    const std::string pastes[] = {paste, text::nfd(paste)};
    const std::string befores[] = {"un \u00E9", "un e\u0301", paste + " \u00E9",
                                   paste + " e\u0301"};
    const std::string values[] = {"x",
                                  befores[0],
                                  befores[1],
                                  befores[2],
                                  befores[3],
                                  befores[1] + " " + paste,
                                  befores[0] + " " + pastes[1]};
    enum Question { unchanged, landedIn, arrived };
    const auto ask = [](insert::ReadBackJudge& judge, int question, const std::string& value) {
        switch (question) {
            case unchanged:
                return judge.unchanged(value);
            case landedIn:
                return judge.landedIn(value);
            default:
                return judge.arrived(value);
        }
    };
    for (const std::string& pasted : pastes) {
        for (const std::string& before : befores) {
            bool rule[7][3];  // the rule's answers, by value and question
            for (int v = 0; v < 7; ++v) {
                const bool same = slowtext::nfc(values[v]) == slowtext::nfc(before);
                const bool holds = slowtext::landed(pasted, values[v]);
                rule[v][unchanged] = same;
                rule[v][landedIn] = holds;
                rule[v][arrived] = !same && holds;
            }
            for (int sequence = 0; sequence < 7 * 7 * 7 * 27; ++sequence) {
                insert::ReadBackJudge judge(pasted, before);
                for (int step = 0, rest = sequence; step < 3; ++step, rest /= 21) {
                    const int question = rest / 7 % 3;
                    ASSERT_EQ(ask(judge, question, values[rest % 7]), rule[rest % 7][question])
                        << "paste " << pasted << ", before " << before << ", sequence " << sequence
                        << ", step " << step;
                }
            }
        }
    }
}

}  // namespace

namespace {

// The rule as it is written: both texts collapsed, then composed, then searched.
bool byDefinition(const std::string& text, const std::string& value) {
    const std::string needle = text::nfc(text::collapseWhiteSpace(text));
    return needle.empty() ||
           text::nfc(text::collapseWhiteSpace(value)).find(needle) != std::string::npos;
}

// Characters that change clusters or composition at an edge, plain ones around them, and bytes
// that are no UTF-8.
const char* const pieces[] = {
    "a",      "e",      "x",          " ",          "\t",         "\r",       "\n",
    "\u00A0", "\u3000", "\u2026",     "\u00E9",     "\u0301",     "\u0327",   "\u0600",
    "\u200D", "\u200C", "\U0001F469", "\U0001F3FD", "\U0001F1E6", "\u1100",   "\u1161",
    "\u11A8", "\uAC00", "\u0915",     "\u094D",     "\u0903",     "\u212B",   "\u0B47",
    "\u0B3E", "\u00A9", "\u4E00",     "\u05D0",     "\u0627",     "\xE2\x80", "\xFF",
};

std::string randomText(std::uint32_t& state, int most) {
    const auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    std::string out;
    const int count = static_cast<int>(next() % static_cast<std::uint32_t>(most + 1));
    for (int i = 0; i < count; ++i) {
        out += pieces[next() % std::size(pieces)];
    }
    return out;
}

}  // namespace

// The quick answer finds the text byte for byte in the value and must never say landed where the
// rule says not, whatever stands around it: prepended marks before it, marks, joiners and
// Hangul jamo after it, white space at its edges, and ill-formed bytes. Where it answers, it also
// tells whether the value is in NFC, exactly as the full check would.
TEST(InsertLanded, TheQuickAnswerAgreesWithTheRuleWhateverSurroundsTheText) {
    std::uint32_t state = 20261209;
    int quick = 0;
    for (int i = 0; i < 200000; ++i) {
        const std::string text = randomText(state, 5);
        const std::string before = randomText(state, 3);
        const std::string after = randomText(state, 3);
        const insert::PasteCheck check(text);
        for (const std::string& middle : {text, text::collapseWhiteSpace(text)}) {
            const std::string value = before + middle + after;
            const bool expected = byDefinition(text, value);
            ASSERT_EQ(check.landedIn(value), expected) << text << " in " << value;
            ASSERT_EQ(insert::landed(text, value), expected) << text << " in " << value;
            if (const auto answer = check.quickLandedIn(value)) {
                ++quick;
                ASSERT_TRUE(expected) << text << " in " << value;
                ASSERT_EQ(answer->valueIsNfc, text::isNfc(value)) << value;
            }
        }
    }
    // The cases are not all left to the full check.
    EXPECT_GT(quick, 10000);
}

TEST(InsertLanded, TheQuickAnswerStepsAsideAtTheEdgesThatCouldChangeTheText) {
    const insert::PasteCheck check("cafe");
    EXPECT_TRUE(check.quickLandedIn("un cafe noir"));
    EXPECT_TRUE(check.quickLandedIn("cafe"));
    EXPECT_TRUE(check.quickLandedIn("cafe\u00A0!"));
    // A mark after the text composes with its last letter: no longer "cafe".
    EXPECT_FALSE(check.quickLandedIn("cafe\u0301"));
    EXPECT_FALSE(insert::landed("cafe", "cafe\u0301"));
    // A prepended mark before it and a joiner after it join its clusters but change no byte of
    // it, to collapsing or to NFC.
    EXPECT_TRUE(check.quickLandedIn("\u0600cafe"));
    EXPECT_TRUE(insert::landed("cafe", "\u0600cafe"));
    EXPECT_TRUE(check.quickLandedIn("cafe\u200D"));
    EXPECT_TRUE(insert::landed("cafe", "cafe\u200D"));
    // White space after it, with a mark on it: the mark goes with the space.
    EXPECT_TRUE(check.quickLandedIn("cafe \u0301x"));
    EXPECT_TRUE(insert::landed("cafe", "cafe \u0301x"));
    // Hangul: a vowel after a leading consonant composes with it.
    EXPECT_FALSE(insert::PasteCheck("\u1100").quickLandedIn("\u1100\u1161"));
    EXPECT_FALSE(insert::landed("\u1100", "\u1100\u1161"));
    // Texts that are not plain (a mark of their own, or not in NFC) always take the full check.
    EXPECT_FALSE(insert::PasteCheck("cafe\u0301").quickLandedIn("cafe\u0301"));
    EXPECT_FALSE(insert::PasteCheck("\u212B").quickLandedIn("\u212B"));
    // A value that repeats the text's beginning many times over is still searched whole.
    std::string value;
    for (int i = 0; i < 2000; ++i) {
        value += "ab ab ab ab ab ab ab ab x";
    }
    const insert::PasteCheck repeated(value.substr(0, value.size() - 1) + "y");
    EXPECT_FALSE(repeated.quickLandedIn(value));
    EXPECT_TRUE(repeated.quickLandedIn(value.substr(0, value.size() - 1) + "y z"));
}
