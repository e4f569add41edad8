// Field decoding: integer kinds and ranges, Booleans, and the key paths in the messages.
#include "frame/decode.h"

#include <functional>
#include <optional>

#include <gtest/gtest.h>

#include "frame/intake.h"

namespace {

std::string refusal(const std::function<void()>& decode) {
    try {
        decode();
    } catch (const frame::DecodeError& error) {
        return error.detail();
    }
    return "(accepted)";
}

// The first element of a request text that is an array, decoded at the path of one or two keys.
template <class T>
T first(const std::string& text, T (*decode)(parse::Value&, const frame::Path&),
        std::string_view key = "n", std::string_view second = {}) {
    return frame::decodeText(text, [&](parse::Value& array) -> T {
        const frame::Path top;
        const frame::Path outer(top, key);
        const frame::Path inner(outer, second);
        const frame::Path& path = second.empty() ? outer : inner;
        return frame::decodeArray<T>(
                   array, top,
                   [&](parse::Value& value, const frame::Path&) { return decode(value, path); })
            .at(0);
    });
}

std::int64_t int64Of(const std::string& text) {
    return first<std::int64_t>(text, frame::decodeInt64);
}

TEST(FrameDecodeInteger, TakesIntegralValuesThatFit) {
    EXPECT_EQ(int64Of("[42.0]"), 42);
    EXPECT_EQ(int64Of("[-9223372036854775808]"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(int64Of("[9223372036854775807]"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(int64Of("[1e3]"), 1000);
    EXPECT_EQ(first<std::int32_t>("[-2147483648]", frame::decodeInt32), -2147483648);
}

TEST(FrameDecodeInteger, RefusesFractionsRangeAndOtherKinds) {
    const auto int64 = [](const char* text) {
        return refusal([&] { first<std::int64_t>(text, frame::decodeInt64, "a", "b"); });
    };
    EXPECT_EQ(int64("[2.5]"), "a.b: expected a 64-bit integer, found a fractional number");
    EXPECT_EQ(int64("[9223372036854775808]"),
              "a.b: expected a 64-bit integer, found a number outside its range");
    EXPECT_EQ(int64("[9.3e18]"),
              "a.b: expected a 64-bit integer, found a number outside its range");
    EXPECT_EQ(int64("[\"1\"]"), "a.b: expected a 64-bit integer, found a string");
    EXPECT_EQ(int64("[true]"), "a.b: expected a 64-bit integer, found a Boolean");
    EXPECT_EQ(refusal([] { first<std::int32_t>("[2147483648]", frame::decodeInt32, "pid"); }),
              "pid: expected a 32-bit integer, found a number outside its range");
}

// The 64-bit limits, written as integers and as floats: the text decides, not its double.
TEST(FrameDecodeInteger, LimitsAreExactHoweverTheNumberIsWritten) {
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t highest = std::numeric_limits<std::int64_t>::max();
    struct Case {
        const char* text;
        std::optional<std::int64_t> value;  // absent: out of range
    };
    const Case cases[] = {
        {"-9223372036854775808", lowest},
        {"-9223372036854775808.0", lowest},
        {"-92233720368547758.08e2", lowest},
        {"-9223372036854775809", std::nullopt},
        {"-9223372036854775808.5e1", std::nullopt},
        {"9223372036854775807", highest},
        {"9223372036854775807.000", highest},
        {"9223372036854775808", std::nullopt},
        {"9223372036854775808.0", std::nullopt},  // 2^63 as a float
        {"9.223372036854775807e18", highest},
        {"9.223372036854775808e18", std::nullopt},
        {"-1e19", std::nullopt},
        {"1E2", 100},
        {"0.0e7", 0},
        {"-0", 0},
        {"1500e-3", std::nullopt},  // fractional: refused as such below
    };
    for (const Case& c : cases) {
        const std::string request = std::string("[") + c.text + "]";
        if (c.value) {
            EXPECT_EQ(int64Of(request), *c.value) << c.text;
        } else if (std::string(c.text) != "1500e-3") {
            EXPECT_EQ(refusal([&] { int64Of(request); }),
                      "n: expected a 64-bit integer, found a number outside its range")
                << c.text;
        }
    }
    EXPECT_EQ(refusal([] { int64Of("[1500e-3]"); }),
              "n: expected a 64-bit integer, found a fractional number");
    EXPECT_EQ(int64Of("[1500e-1]"), 150);
}

TEST(FrameDecodeBool, TakesOnlyTheLiterals) {
    EXPECT_TRUE(first<bool>("[true]", frame::decodeBool, "p"));
    EXPECT_EQ(refusal([] { first<bool>("[1]", frame::decodeBool, "p"); }),
              "p: expected true or false, found a number");
}

TEST(FrameDecodeKeyed, NamesMissingAndNullRequiredKeys) {
    const auto fields = [](std::string_view wanted) {
        return refusal([&] {
            frame::decodeText(R"({"b": null})", [&](parse::Value& object) {
                frame::Field<std::string> a;
                frame::Field<std::string> b;
                const frame::Path top;
                const frame::Path into(top, "into");
                frame::eachMember(
                    object, into,
                    [&](std::string_view key, parse::Value& value, const frame::Path& path) {
                        (key == "a" ? a : b).take(value, path, frame::decodeString);
                    });
                EXPECT_FALSE(b.optional());
                return wanted == "a" ? a.required(frame::Path(into, "a"))
                                     : b.required(frame::Path(into, "b"));
            });
        });
    };
    EXPECT_EQ(fields("a"), "into.a: required, but missing");
    EXPECT_EQ(fields("b"), "into.b: required, but null");
    EXPECT_EQ(refusal([] {
                  frame::decodeText("[]", [](parse::Value& value) {
                      frame::eachMember(value, frame::Path(),
                                        [](std::string_view, parse::Value&, const frame::Path&) {});
                      return 0;
                  });
              }),
              "request: expected an object, found an array");
}

TEST(FrameDecodeKeyed, QuotesKeysThatAreNotIdentifiers) {
    EXPECT_EQ(frame::keyPath("readers", "com.example.chat"), "readers[\"com.example.chat\"]");
    EXPECT_EQ(frame::keyPath("", "pid"), "pid");
    EXPECT_EQ(frame::keyPath("r", "a\"b\\c\n\x01"), "r[\"a\\\"b\\\\c\\n\\u0001\"]");
    EXPECT_LT(frame::keyPath("r", std::string(100000, 'x') + ".").size(), 100U);
}

TEST(FrameDecodeExcerpt, ShortensBetweenCharactersOnly) {
    EXPECT_EQ(frame::excerpt("short"), "short");
    EXPECT_EQ(frame::excerpt(std::string(64, 'x')), std::string(64, 'x'));
    EXPECT_EQ(frame::excerpt(std::string(65, 'x')), std::string(64, 'x') + "\u2026");
    // 63 ASCII bytes and a two-byte é: the cut would fall inside the é, so it comes before it.
    EXPECT_EQ(frame::excerpt(std::string(63, 'x') + "\u00e9\u00e9"),
              std::string(63, 'x') + "\u2026");
    EXPECT_EQ(frame::excerpt(std::string("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
