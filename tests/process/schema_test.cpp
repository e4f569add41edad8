// The protocol's reply schema, which every reply the process tests read is checked against: it
// must refuse what the protocol does not allow, or those checks would prove nothing.
#include "process/schema.h"

#include <gtest/gtest.h>

#include "process/harness.h"

namespace {

using nlohmann::json;

TEST(ReplySchema, RefusesRepliesTheProtocolDoesNotAllow) {
    const json probe = {{"ran", false}, {"changed", false}, {"restored", false}};
    const json capture = {
        {"ok", true},       {"app", {{"bundleId", nullptr}, {"name", "A"}, {"pid", 1}}},
        {"focus", nullptr}, {"input", {{"kind", "none"}}},
        {"field", nullptr}, {"composer", nullptr},
        {"probe", probe},   {"conversation", nullptr}};
    EXPECT_EQ(schema::replies().check(capture), std::nullopt);
    EXPECT_EQ(schema::replies().check({{"ok", true}, {"version", 4}}), std::nullopt);
    EXPECT_EQ(
        schema::replies().check(
            {{"ok", false}, {"error", "timedOut"}, {"detail", "terminated"}, {"restored", true}}),
        std::nullopt);

    json extraKey = capture;
    extraKey["text"] = "x";
    json badInput = capture;
    badInput["input"] = {{"kind", "selection"}, {"via", "ocr"}, {"text", ""}, {"truncated", false}};
    json missing = capture;
    missing.erase("probe");
    const json refused[] = {
        extraKey,
        badInput,
        missing,
        {{"ok", true}},
        {{"ok", true}, {"version", 3}},
        {{"ok", false}, {"error", "badRequest"}, {"restored", true}},  // restored is timedOut's
        {{"ok", false}, {"error", "timedOut"}},                        // without its detail
        {{"ok", false}, {"error", "gone"}},
        {{"ok", true}, {"activated", true}, {"verified", "maybe"}, {"restored", true}},
    };
    for (const json& reply : refused) {
        EXPECT_NE(schema::replies().check(reply), std::nullopt) << reply.dump();
    }
}

TEST(ReplySchema, TheDemoCaptureFitsIt) {
    const harness::Run run = harness::command(
        "capture", harness::readJsonFile(harness::example("reader-demo.json")).dump());
    EXPECT_NO_THROW(run.reply());
    EXPECT_TRUE(run.reply()["conversation"]["rows"].is_array());
}

}  // namespace
