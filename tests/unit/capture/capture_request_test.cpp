// Decoding capture requests and their reader settings.
#include "capture/capture_request.h"

#include <gtest/gtest.h>

#include "frame/intake.h"

namespace {

capture::CaptureRequest decode(const std::string& text) {
    return frame::decodeText(text, capture::decodeCaptureRequest);
}

std::string refusal(const std::string& text) {
    try {
        decode(text);
    } catch (const frame::DecodeError& error) {
        return error.what();
    }
    return "(accepted)";
}

const std::string reader =
    R"("list": [{"role": "AXList"}], "rows": 3, "depth": 1, "skipClasses": [],
       "trustsAxSelection": false)";

std::string withReader(const std::string& fields) {
    return R"({"conversation": {"budgetMs": 100, "readers": {"com.example.chat": {)" + fields +
           "}}}}";
}

TEST(CaptureRequestDecode, EmptyAndNullKeysTakeTheDefaults) {
    for (const std::string& text :
         {std::string("{}"),
          std::string(
              R"({"probe": null, "maxChars": null, "probeTimeoutMs": null, "deadlineMs": null,
                  "conversation": null})")}) {
        const auto request = decode(text);
        EXPECT_TRUE(request.probe);
        EXPECT_EQ(request.maxChars, 20000);
        EXPECT_EQ(request.probeTimeoutMs, 250);
        EXPECT_EQ(request.deadlineMs, 3000);
        EXPECT_FALSE(request.conversation);
    }
}

TEST(CaptureRequestDecode, ReadersDecodeWithOptionalMeAndSubrole) {
    const auto request = decode(withReader(
        reader + R"(, "me": null, "version": 2, "list": [{"role": "AXList", "subrole": null},
                    {"role": "AXGroup", "subrole": "AXFeed"}])"));
    const auto& decoded = request.conversation->readers.at("com.example.chat");
    EXPECT_FALSE(decoded.me);
    ASSERT_EQ(decoded.list.size(), 2U);
    EXPECT_FALSE(decoded.list[0].subrole);
    EXPECT_EQ(decoded.list[1].subrole, "AXFeed");
}

TEST(CaptureRequestDecode, NegativeBudgetsAndDepthsStayAsGiven) {
    const auto request = decode(
        R"({"conversation": {"budgetMs": -5, "readers": {"a": {"list": [], "rows": -1,
            "depth": -1, "skipClasses": ["x"], "trustsAxSelection": true,
            "me": {"role": "AXButton", "domClass": "me"}}, "A": {"list": [], "rows": 0,
            "depth": 0, "skipClasses": [], "trustsAxSelection": false}}}})");
    EXPECT_EQ(request.conversation->budgetMs, -5);
    EXPECT_EQ(request.conversation->readers.at("a").depth, -1);
    EXPECT_EQ(request.conversation->readers.at("a").me->domClass, "me");
    EXPECT_EQ(request.conversation->readers.size(), 2U);  // keys differing in case are two
}

TEST(CaptureRequestDecode, EveryBadReaderFailsTheRequest) {
    EXPECT_EQ(refusal(R"({"conversation": {"readers": {}}})"),
              "conversation.budgetMs: required, but missing");
    EXPECT_EQ(refusal(withReader(R"("list": [], "rows": 3, "depth": 1, "skipClasses": [])")),
              "conversation.readers[\"com.example.chat\"].trustsAxSelection: required, but "
              "missing");
    EXPECT_EQ(refusal(withReader(reader + R"(, "rows": 2.5)")),
              "conversation.readers[\"com.example.chat\"].rows: expected a 64-bit integer, found "
              "a fractional number");
    EXPECT_EQ(refusal(withReader(reader + R"(, "trustsAxSelection": 1)")),
              "conversation.readers[\"com.example.chat\"].trustsAxSelection: expected true or "
              "false, found a number");
    EXPECT_EQ(refusal(withReader(reader + R"(, "list": [{"subrole": "x"}])")),
              "conversation.readers[\"com.example.chat\"].list[0].role: required, but missing");
    EXPECT_EQ(refusal(withReader(reader + R"(, "skipClasses": ["a", 2])")),
              "conversation.readers[\"com.example.chat\"].skipClasses[1]: expected a string, "
              "found a number");
    EXPECT_EQ(refusal(withReader(reader + R"(, "me": {"role": "AXButton"})")),
              "conversation.readers[\"com.example.chat\"].me.domClass: required, but missing");
    EXPECT_EQ(refusal(R"({"probe": 0})"), "probe: expected true or false, found a number");
}

TEST(CaptureRequestDecode, TheLastReaderOfABundleCountsAndFaultsGoByTheMapsOrder) {
    const std::string good = "{" + reader + "}";
    const std::string bad = R"({"list": [], "rows": 1.5, "depth": 1, "skipClasses": [],
                                "trustsAxSelection": false})";
    const auto readers = [](const std::string& members) {
        return R"({"conversation": {"budgetMs": 1, "readers": {)" + members + "}}}";
    };
    const auto request = decode(readers("\"a\": " + bad + ", \"a\": " + good));
    EXPECT_EQ(request.conversation->readers.at("a").depth, 1);
    const std::string deeper = R"({"list": [], "rows": 1, "depth": 7, "skipClasses": [],
                                   "trustsAxSelection": false})";
    EXPECT_EQ(decode(readers("\"a\": " + good + ", \"a\": " + deeper))
                  .conversation->readers.at("a")
                  .depth,
              7);
    EXPECT_EQ(refusal(readers("\"a\": " + good + ", \"a\": " + bad)),
              "conversation.readers.a.rows: expected a 64-bit integer, found a fractional number");
    // "b" stands first in the text, but "a" comes first in the map.
    EXPECT_EQ(refusal(readers("\"b\": " + bad + ", \"a\": 5")),
              "conversation.readers.a: expected an object, found a number");
}

}  // namespace
