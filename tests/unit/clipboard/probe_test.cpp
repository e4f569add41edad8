// The copy probe in-process: a copy that lands, one that never comes, non-text copies, and the
// user's pasteboard as it was afterwards.
#include "clipboard/probe.h"

#include <gtest/gtest.h>

#include "clipboard/snapshot.h"
#include "unit/sim/sim_support.h"

namespace {

using simtest::app;
using simtest::element;
using simtest::json;

const json userItems =
    json::array({json::array({{{"type", "public.utf8-plain-text"}, {"text", "user's"}},
                              {{"type", "public.png"}, {"base64", "iVBORw0KGgo="}}})});

json desktop(const json& copy, const json& layouts = {{"current", "us"}}) {
    const json field = element("f", {{"AXRole", "AXTextArea"},
                                     {"AXValue", "hello world"},
                                     {"AXSelectedTextRange", {{"range", {6, 5}}}}});
    return {{"frontmost", 50},
            {"layouts", layouts},
            {"pasteboard", {{"changeCount", 3}, {"items", userItems}}},
            {"apps",
             {app(50, element("root", {{"AXRole", "AXApplication"}}, {{"children", {field}}}),
                  {{"focused", "f"}, {"copy", copy}})}}};
}

class ClipboardProbe : public simtest::SimTest {};

TEST_F(ClipboardProbe, CopiedSelectionIsReadAndTheUserItemsComeBack) {
    use(desktop({{"delayMs", 20}}));
    const clipboard::Probe probe = clipboard::Probe::run(500);
    EXPECT_TRUE(probe.ran);
    EXPECT_TRUE(probe.changed);
    EXPECT_EQ(probe.text, "world");
    EXPECT_TRUE(probe.restored);
    EXPECT_EQ(platform::sim::state()["pasteboard"]["items"], userItems);
    EXPECT_FALSE(clipboard::pendingRestore);
}

TEST_F(ClipboardProbe, NoCopyMeansNoChangeAndAnUntouchedPasteboard) {
    use(desktop(nullptr));
    const auto start = std::chrono::steady_clock::now();
    const clipboard::Probe probe = clipboard::Probe::run(100);
    EXPECT_GE(simtest::elapsedMs(start), 95);
    EXPECT_TRUE(probe.ran);
    EXPECT_FALSE(probe.changed);
    EXPECT_FALSE(probe.text);
    EXPECT_FALSE(probe.restored);
    EXPECT_EQ(platform::sim::state()["pasteboard"]["changeCount"], 3);
}

TEST_F(ClipboardProbe, DvorakUserGetsTheDvorakKey) {
    use(desktop({{"delayMs", 0}}, {{"current", "dvorak"}, {"asciiCapable", "us"}}));
    EXPECT_EQ(clipboard::Probe::run(500).text, "world");
    EXPECT_EQ(platform::sim::state()["lastRun"]["events"][0]["keyCode"], 34);
}

TEST_F(ClipboardProbe, ZeroTimeOutTestsOnceRightAfterTheKeys) {
    use(desktop({{"delayMs", 50}}));
    const clipboard::Probe probe = clipboard::Probe::run(0);
    EXPECT_TRUE(probe.ran);
    EXPECT_FALSE(probe.changed);
}

TEST_F(ClipboardProbe, NonTextCopyChangesWithoutText) {
    use(desktop(
        {{"delayMs", 0},
         {"items", json::array({json::array({{{"type", "public.png"}, {"base64", "AAEC"}}})})}}));
    const clipboard::Probe probe = clipboard::Probe::run(500);
    EXPECT_TRUE(probe.changed);
    EXPECT_FALSE(probe.text);
    EXPECT_TRUE(probe.restored);
    EXPECT_EQ(platform::sim::state()["pasteboard"]["items"], userItems);
}

TEST(ClipboardProbeJson, HasExactlyTheThreeFlags) {
    EXPECT_EQ(clipboard::Probe{}.json(),
              json({{"ran", false}, {"changed", false}, {"restored", false}}));
    EXPECT_EQ(clipboard::Probe({true, true, "secret", true}).json().count("text"), 0U);
}

}  // namespace
