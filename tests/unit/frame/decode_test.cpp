// Field decoding: integer kinds and ranges, Booleans, and the key paths in the messages.
#include "frame/decode.h"

#include <optional>

#include <gtest/gtest.h>

#include "frame/intake.h"

namespace {

using nlohmann::json;

std::string refusal(const std::function<void()>& decode) {
    try {
        decode();
    } catch (const frame::DecodeError& error) {
        return error.detail();
    }
    return "(accepted)";
}

TEST(FrameDecodeInteger, TakesIntegralValuesThatFit) {
    EXPECT_EQ(frame::decodeInt64(frame::parseRequest("[42.0]")[0], "n"), 42);
    EXPECT_EQ(frame::decodeInt64(frame::parseRequest("[-9223372036854775808]")[0], "n"),
              std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(frame::decodeInt64(frame::parseRequest("[9223372036854775807]")[0], "n"),
              std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(frame::decodeInt64(frame::parseRequest("[1e3]")[0], "n"), 1000);
    EXPECT_EQ(frame::decodeInt32(frame::parseRequest("[-2147483648]")[0], "n"), -2147483648);
}

TEST(FrameDecodeInteger, RefusesFractionsRangeAndOtherKinds) {
    const auto int64 = [](const char* text) {
        return refusal([&] { frame::decodeInt64(frame::parseRequest(text)[0], "a.b"); });
    };
    EXPECT_EQ(int64("[2.5]"), "a.b: expected a 64-bit integer, found a fractional number");
    EXPECT_EQ(int64("[9223372036854775808]"),
              "a.b: expected a 64-bit integer, found a number outside its range");
    EXPECT_EQ(int64("[9.3e18]"),
              "a.b: expected a 64-bit integer, found a number outside its range");
    EXPECT_EQ(int64("[\"1\"]"), "a.b: expected a 64-bit integer, found a string");
    EXPECT_EQ(int64("[true]"), "a.b: expected a 64-bit integer, found a Boolean");
    EXPECT_EQ(refusal([] { frame::decodeInt32(frame::parseRequest("[2147483648]")[0], "pid"); }),
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
            EXPECT_EQ(frame::decodeInt64(frame::parseRequest(request)[0], "n"), *c.value) << c.text;
        } else if (std::string(c.text) != "1500e-3") {
            EXPECT_EQ(refusal([&] { frame::decodeInt64(frame::parseRequest(request)[0], "n"); }),
                      "n: expected a 64-bit integer, found a number outside its range")
                << c.text;
        }
    }
    EXPECT_EQ(refusal([] { frame::decodeInt64(frame::parseRequest("[1500e-3]")[0], "n"); }),
              "n: expected a 64-bit integer, found a fractional number");
    EXPECT_EQ(frame::decodeInt64(frame::parseRequest("[1500e-1]")[0], "n"), 150);
}

TEST(FrameDecodeBool, TakesOnlyTheLiterals) {
    EXPECT_TRUE(frame::decodeBool(json(true), "p"));
    EXPECT_EQ(refusal([] { frame::decodeBool(json(1), "p"); }),
              "p: expected true or false, found a number");
}

TEST(FrameDecodeKeyed, NamesMissingAndNullRequiredKeys) {
    const json object = {{"b", nullptr}};
    const frame::Keyed fields = frame::Keyed::of(object, "into");
    EXPECT_EQ(refusal([&] { fields.required("a"); }), "into.a: required, but missing");
    EXPECT_EQ(refusal([&] { fields.required("b"); }), "into.b: required, but null");
    EXPECT_EQ(fields.present("b"), nullptr);
    EXPECT_EQ(refusal([] { frame::Keyed::of(json::array(), ""); }),
              "request: expected an object, found an array");
}

TEST(FrameDecodeKeyed, QuotesKeysThatAreNotIdentifiers) {
    EXPECT_EQ(frame::keyPath("readers", "com.example.chat"), "readers[\"com.example.chat\"]");
    EXPECT_EQ(frame::keyPath("", "pid"), "pid");
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
