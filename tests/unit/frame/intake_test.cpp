// Parsing requests: the blank rule, bounded nesting, and parse errors that stay readable.
#include "frame/intake.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "text/scalars.h"
#include "text/utf8.h"

namespace {

// Decodes the members of a request object into `a`, as a record would, and gives it.
std::int64_t memberA(const std::string& text, bool* junkIsArray = nullptr) {
    return frame::decodeText(text, [&](parse::Value& request) {
        frame::Field<std::int64_t> a;
        frame::eachMember(request, frame::Path(),
                          [&](std::string_view key, parse::Value& value, const frame::Path& path) {
                              if (key == "a") {
                                  a.take(value, path, frame::decodeInt64);
                              } else if (key == "junk" && junkIsArray != nullptr) {
                                  parse::Type type;
                                  *junkIsArray = value.type().get(type) == simdjson::SUCCESS &&
                                                 type == parse::Type::array;
                              }
                          });
        return a.required(frame::Path(frame::Path(), "a"));
    });
}

std::string refusal(const std::string& text) {
    try {
        memberA(text);
    } catch (const frame::DecodeError& error) {
        return error.detail();
    }
    return "(accepted)";
}

TEST(FrameIntakeBlank, OnlySpaceTabLineFeedAndReturnAreBlank) {
    EXPECT_TRUE(frame::isBlankInput(""));
    EXPECT_TRUE(frame::isBlankInput(" \t\r\n"));
    EXPECT_FALSE(frame::isBlankInput("\f"));
    EXPECT_FALSE(frame::isBlankInput("\v"));
    EXPECT_FALSE(frame::isBlankInput(" \xc2\xa0"));  // a no-break space is not blank input
}

TEST(FrameIntakeParse, KeepsShallowValuesAndDropsOnlyTheAbsurdlyDeep) {
    std::string deep = "{\"a\": 1, \"junk\": ";
    deep += std::string(100000, '[') + std::string(100000, ']') + "}";
    bool junkIsArray = false;
    EXPECT_EQ(memberA(deep, &junkIsArray), 1);
    EXPECT_TRUE(junkIsArray);  // kept near the top, passed over far below
    // Checked all the way down all the same: a fault at the bottom refuses the request.
    std::string broken = "{\"a\": 1, \"junk\": ";
    broken += std::string(100000, '[') + "tru" + std::string(100000, ']') + "}";
    EXPECT_EQ(refusal(broken).rfind("invalid JSON: ", 0), 0U) << refusal(broken);
}

// Every sequence of up to three occurrences of a key (a value, another value, null, a refused
// value), read through either accessor: the last occurrence decides, as if it were the only one.
TEST(FrameIntakeParse, TheLastOccurrenceOfAKeyDecidesThroughEitherAccessor) {
    const char* const occurrences[] = {"1", "2", "null", "\"x\""};
    const auto read = [](const std::string& members, bool required) {
        try {
            return std::to_string(
                frame::decodeText("{" + members + "}", [&](parse::Value& request) {
                    frame::Field<std::int64_t> a;
                    frame::eachMember(
                        request, frame::Path(),
                        [&](std::string_view, parse::Value& value, const frame::Path& path) {
                            a.take(value, path, frame::decodeInt64);
                        });
                    return required ? a.required(frame::Path(frame::Path(), "a"))
                                    : a.optional().value_or(-1);
                }));
        } catch (const frame::DecodeError& error) {
            return error.detail();
        }
    };
    for (int length = 0; length <= 3; ++length) {
        for (int sequence = 0; sequence < 1 << (2 * length); ++sequence) {
            std::string members;
            std::string last;  // the only occurrence that counts
            for (int i = 0; i < length; ++i) {
                last = occurrences[sequence >> (2 * i) & 3];
                members += (i == 0 ? "\"a\": " : ", \"a\": ") + last;
            }
            const std::string alone = length == 0 ? "" : "\"a\": " + last;
            for (const bool required : {false, true}) {
                EXPECT_EQ(read(members, required), read(alone, required)) << members;
            }
        }
    }
    EXPECT_EQ(read("\"a\": 2, \"a\": null", true), "a: required, but null");
    EXPECT_EQ(read("\"a\": 2, \"a\": null", false), "-1");
    EXPECT_EQ(read("\"a\": \"x\", \"a\": 2", false), "2");
    EXPECT_EQ(read("\"a\": 2, \"a\": \"x\"", false),
              "a: expected a 64-bit integer, found a string");
    EXPECT_EQ(read("", true), "a: required, but missing");
}

TEST(FrameIntakeParse, KeysAreUnescapedBeforeTheyAreMatched) {
    EXPECT_EQ(memberA(R"({"\u0061": 7})"), 7);
}

TEST(FrameIntakeParse, ErrorsAreDecodeErrorsWithValidText) {
    for (const std::string& bad :
         {std::string("{"), std::string("{\"a\": \"\xff\"}"), std::string("[1,]"),
          std::string("nul"), std::string("{\"b\": [1 2], \"a\": 1}"),
          std::string("{\"a\": 1, \"b\": \"\\ud800\"}"), std::string("{\"a\": 1} x"),
          std::string("{\"a\": 1, \"b\": 01}"), std::string("{\"b\": \"x\": \"y\", \"a\": 1}"),
          std::string("{\"a\": 1, \"b\": [\"x\": 2]}"),
          std::string("{\"a\": 1, \"b\": [{\"r\": \"x\": \"y\"}, \"t\": \"z\"}]}")}) {
        try {
            memberA(bad);
            ADD_FAILURE() << "parsed: " << bad;
        } catch (const frame::DecodeError& error) {
            EXPECT_TRUE(text::isValidUtf8(error.what())) << error.what();
            EXPECT_EQ(std::string(error.what()).rfind("invalid JSON: ", 0), 0U) << error.what();
        }
    }
    // A fault anywhere in the text outweighs a faulty field before it.
    EXPECT_EQ(refusal("{\"a\": \"x\", \"b\": tru}").rfind("invalid JSON: ", 0), 0U);
}

// Where a fault is reported, over generated texts that are valid up to one fault: strings with
// escapes (quotes, backslashes, \\u escapes and surrogate pairs), brackets inside strings,
// non-ASCII text and line breaks come before it. The fault is reported at the byte where it was
// put, and its line and column are counted the slow way: line feeds, then code points.
TEST(FrameIntakeParse, FaultsArePlacedWhereTheyStandWhateverComesBefore) {
    struct Fault {
        std::string text;  // what ends the text: a member with the fault, or what follows them
        std::size_t at;    // where in it the fault stands
        std::string problem;
    };
    const std::string escape = "invalid escape or surrogate in a string";
    const std::string utf8 = "invalid UTF-8 in a string";
    std::vector<Fault> faults = {
        {"\"k\": [1}}", 7, "unexpected character"},
        {"\"k\": tru}", 5, "unexpected character"},
        {"\"k\": 01}", 5, "invalid number"},
        {"\"k\": 1e4x}", 5, "invalid number"},
        {"\"k\":\n}", 5, "unexpected character"},
        {"\"k\": 1e400}", 5, "number out of range"},
        {"\"k\" 1}", 4, "unexpected character"},
        {"\"k\": \xFF}", 5, "unexpected character"},
        {"\"k\": 1} x", 8, "unexpected text after the value"},
        {"\"k\": [1", 7, "unexpected end of input"},
        {"\"k\": \"ab", 8, "unterminated string"},
    };
    // Each fault inside a string, after some text, as a value and as a key.
    for (const auto& [inside, problem] :
         std::vector<std::pair<std::string, std::string>>{{"\x01", "control character in a string"},
                                                          {"\xFF", utf8},
                                                          {"\xC0\xAF", utf8},
                                                          {"\xED\xA0\x80", utf8},
                                                          {"\xE2\x82", utf8},
                                                          {"\\q", escape},
                                                          {"\\u12", escape},
                                                          {"\\udc00", escape},
                                                          {"\\ud800\\u0041", escape},
                                                          {"\\ud800x", escape}}) {
        faults.push_back({"\"k\": \"\\\"[\u00E9\\ud83d\\ude00" + inside + "\"}", 23, problem});
        faults.push_back({"\"\\\\\u00E9" + inside + "\": 1}", 5, problem});
    }
    const char* const atoms[] = {"a",   "\u00E9",         "\u4E2D", "\U0001F600", "\\\"", "\\\\",
                                 "\\/", "\\u00e9",        "[",      "]",          "{",    "}",
                                 ":",   "\\ud83d\\ude00", ",",      "\\n"};
    const char* const gaps[] = {"", " ", "\n", "\r\n\t"};
    std::uint32_t state = 24;
    const auto next = [&](std::uint32_t below) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % below;
    };
    const auto string = [&] {
        std::string out = "\"";
        for (std::uint32_t n = next(6); n > 0; --n) {
            out += atoms[next(std::size(atoms))];
        }
        return out + "\"";
    };
    for (int round = 0; round < 100; ++round) {
        std::string members = "{" + std::string(gaps[next(4)]);
        for (std::uint32_t n = next(4); n > 0; --n) {
            const std::string values[] = {string(), "-1.5e3", "[true, null, " + string() + "]",
                                          "{" + string() + ": [0]}"};
            members += string() + gaps[next(4)] + ":" + gaps[next(4)] + values[next(4)] + "," +
                       gaps[next(4)];
        }
        for (const Fault& fault : faults) {
            const std::string text = members + fault.text;
            const std::size_t at = members.size() + fault.at;
            const std::size_t newline = text.rfind('\n', at - 1);
            const std::size_t line = newline == std::string::npos ? 0 : newline + 1;
            const std::string where =
                "line " + std::to_string(1 + std::count(text.begin(), text.begin() + at, '\n')) +
                ", column " + std::to_string(1 + text::scalarOffset(text.substr(line), at - line));
            ASSERT_EQ(refusal(text), "invalid JSON: " + fault.problem + " at " + where) << text;
        }
    }
    // A string alone is checked before it is refused for not being an object.
    EXPECT_EQ(refusal("\"\\x\""),
              "invalid JSON: invalid escape or surrogate in a string at line 1, column 2");
}

TEST(FrameIntakeParse, BigIntegersKeepTheirKind) {
    EXPECT_EQ(refusal(R"({"a": 9223372036854775808})"),
              "a: expected a 64-bit integer, found a number outside its range");
    EXPECT_EQ(refusal(R"({"a": 18446744073709551616})"),
              "a: expected a 64-bit integer, found a number outside its range");
    // A number too large for a double is a parse error, not an infinity.
    EXPECT_THROW(memberA(R"({"a": 1, "f": 1e400})"), frame::DecodeError);
}

}  // namespace
