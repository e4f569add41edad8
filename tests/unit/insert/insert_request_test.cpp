// Decoding insert requests: defaults, both target kinds, exact modes, and the first faulty key.
#include "insert/insert_request.h"

#include <gtest/gtest.h>

#include "frame/intake.h"

namespace {

using insert::InsertMode;

insert::InsertRequest decode(const std::string& text) {
    return frame::decodeText(text, insert::decodeInsertRequest);
}

std::string refusal(const std::string& text) {
    try {
        decode(text);
    } catch (const frame::DecodeError& error) {
        return error.what();
    }
    return "(accepted)";
}

TEST(InsertRequestDecode, MinimalRequestTakesTheDefaults) {
    const auto request =
        decode(R"({"pid": 7, "text": "", "into": {"kind": "focus", "mode": "replaceSelection"}})");
    EXPECT_EQ(request.pid, 7);
    EXPECT_EQ(request.text, "");
    const auto& focus = std::get<insert::Into::Focus>(request.into.target);
    EXPECT_FALSE(focus.element);
    EXPECT_EQ(focus.mode, InsertMode::replaceSelection);
    EXPECT_EQ(request.verifyTimeoutMs, 1000);
    EXPECT_EQ(request.settleMs, 300);
    EXPECT_EQ(request.deadlineMs, 4000);
}

TEST(InsertRequestDecode, NullBudgetsAndNullElementAreAbsent) {
    const auto request = decode(
        R"({"pid": 7, "text": "x", "verifyTimeoutMs": null, "settleMs": -5, "deadlineMs": 0,
            "into": {"kind": "focus", "element": null, "mode": "afterSelection"}, "extra": [1]})");
    EXPECT_EQ(request.verifyTimeoutMs, 1000);
    EXPECT_EQ(request.settleMs, -5);
    EXPECT_EQ(request.deadlineMs, 0);
    EXPECT_FALSE(std::get<insert::Into::Focus>(request.into.target).element);
}

TEST(InsertRequestDecode, ComposerKindIgnoresMode) {
    const auto request = decode(
        R"({"pid": 1, "text": "x", "into": {"kind": "composer", "element": "AXTextArea||1,2,3,4",
            "mode": "whatever"}})");
    EXPECT_EQ(std::get<insert::Into::Composer>(request.into.target).element, "AXTextArea||1,2,3,4");
}

TEST(InsertRequestDecode, RefusalsNameTheKeyPath) {
    struct Case {
        const char* request;
        const char* detail;
    };
    const Case cases[] = {
        {"{}", "pid: required, but missing"},
        {R"({"pid": null})", "pid: required, but null"},
        {R"({"pid": 1.5})", "pid: expected a 32-bit integer, found a fractional number"},
        {R"({"pid": 1, "text": 3})", "text: expected a string, found a number"},
        {R"({"pid": 1, "text": "", "into": []})", "into: expected an object, found an array"},
        {R"({"pid": 1, "text": "", "into": {}})", "into.kind: required, but missing"},
        {R"({"pid": 1, "text": "", "into": {"kind": "Focus"}})", "into.kind: unknown kind Focus"},
        {R"({"pid": 1, "text": "", "into": {"kind": "Composer"}})",
         "into.kind: unknown kind Composer"},
        {R"({"pid": 1, "text": "", "into": {"kind": "focus"}})",
         "into.mode: required, but missing"},
        {R"({"pid": 1, "text": "", "into": {"kind": "focus", "mode": "ReplaceField"}})",
         "into.mode: expected one of replaceSelection, replaceField, afterSelection"},
        {R"({"pid": 1, "text": "", "into": {"kind": "focus", "mode": "replace_field"}})",
         "into.mode: expected one of replaceSelection, replaceField, afterSelection"},
        {R"({"pid": 1, "text": "", "into": {"kind": "focus", "element": 5, "mode": "replaceField"}})",
         "into.element: expected a string, found a number"},
        {R"({"pid": 1, "text": "", "into": {"kind": "composer", "element": null}})",
         "into.element: required, but null"},
        {R"({"pid": 1, "text": "", "into": {"kind": "composer", "element": "e"},
             "settleMs": "300"})",
         "settleMs: expected a 64-bit integer, found a string"},
        // Several faults: the first in the record's order is reported.
        {R"({"deadlineMs": "x", "text": 1, "pid": "y"})",
         "pid: expected a 32-bit integer, found a string"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(refusal(c.request), c.detail) << c.request;
    }
}

TEST(InsertRequestDecode, ModesRoundTripThroughRawValues) {
    for (const auto mode :
         {InsertMode::replaceSelection, InsertMode::replaceField, InsertMode::afterSelection}) {
        EXPECT_EQ(insert::insertModeFromRawValue(insert::rawValue(mode)), mode);
    }
    EXPECT_FALSE(insert::insertModeFromRawValue("replaceSelection "));
}

}  // namespace
