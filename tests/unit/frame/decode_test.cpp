// Field decoding: integer kinds and ranges, Booleans, and the key paths in the messages.
#include "frame/decode.h"

#include <gtest/gtest.h>

#include "frame/intake.h"

namespace {

using nlohmann::json;

std::string refusal(const std::function<void()>& decode) {
    try {
        decode();
    } catch (const frame::DecodeError& error) {
        return error.what();
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

}  // namespace
