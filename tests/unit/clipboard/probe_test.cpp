// The copy probe in-process: a copy that lands, one that never comes, non-text copies, and the
// user's pasteboard as it was afterwards.
#include "clipboard/probe.h"

#include <gtest/gtest.h>

#include "clipboard/keys.h"
#include "clipboard/snapshot.h"
#include "frame/reply.h"
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

class ClipboardProbe : public simtest::SimTest {
  protected:
    // A probe that saw no copy leaves its snapshot parked for the reply.
    void TearDown() override {
        clipboard::pendingRestore.reset();
        SimTest::TearDown();
    }
};

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

// What the reply or the watchdog does with the snapshot a probe left parked.
std::optional<bool> restoreParked(bool waitForCopy) {
    return frame::guarded(
        [&] { return clipboard::restoreParked(platform::generalPasteboard(), waitForCopy); });
}

TEST_F(ClipboardProbe, CopyAfterTheTimeOutIsStillUndoneFromTheParkedSnapshot) {
    use(desktop({{"delayMs", 80}}));
    const clipboard::Probe probe = clipboard::Probe::run(10);
    EXPECT_FALSE(probe.changed);
    ASSERT_TRUE(clipboard::pendingRestore);
    EXPECT_EQ(restoreParked(false), std::nullopt);  // the copy is not there yet
    platform::sim::settle(std::chrono::seconds(1));
    EXPECT_EQ(platform::sim::state()["pasteboard"]["changeCount"], 4);
    EXPECT_EQ(restoreParked(false), true);
    EXPECT_EQ(platform::sim::state()["pasteboard"]["items"], userItems);
}

TEST_F(ClipboardProbe, GivingUpWaitsOutTheCopysWindowButNoLonger) {
    use(desktop({{"delayMs", 60}}));
    const auto pasteboard = platform::generalPasteboard();
    const auto start = std::chrono::steady_clock::now();
    clipboard::pendingRestore = clipboard::PendingRestore{clipboard::takeSnapshot(pasteboard),
                                                          platform::changeCount(pasteboard),
                                                          start + std::chrono::milliseconds(2000)};
    clipboard::postCommand(8);
    EXPECT_EQ(restoreParked(true), true);  // waited for the copy, which came at 60 ms
    EXPECT_LT(simtest::elapsedMs(start), 1500);
    EXPECT_EQ(platform::sim::state()["pasteboard"]["items"], userItems);

    // No copy at all: the wait ends with the window, and there is nothing to give back.
    use(desktop(nullptr));
    const auto again = std::chrono::steady_clock::now();
    clipboard::pendingRestore = clipboard::PendingRestore{clipboard::takeSnapshot(pasteboard),
                                                          platform::changeCount(pasteboard),
                                                          again + std::chrono::milliseconds(50)};
    clipboard::postCommand(8);
    EXPECT_EQ(restoreParked(true), std::nullopt);
    EXPECT_GE(simtest::elapsedMs(again), 45);
    EXPECT_EQ(platform::sim::state()["pasteboard"]["changeCount"], 3);
}

TEST_F(ClipboardProbe, OnlyTheCopysOwnStepOfTheCountIsUndone) {
    use(desktop({{"delayMs", 0}}));
    const auto pasteboard = platform::generalPasteboard();
    clipboard::pendingRestore = clipboard::PendingRestore{clipboard::takeSnapshot(pasteboard),
                                                          platform::changeCount(pasteboard),
                                                          std::chrono::steady_clock::now()};
    clipboard::postCommand(8);
    platform::sim::settle(std::chrono::seconds(1));
    // After the copy, somebody else writes: theirs is the newer content and stays.
    platform::clearContents(pasteboard);
    platform::setString(pasteboard, "theirs", platform::plainTextType);
    EXPECT_EQ(restoreParked(true), false);
    EXPECT_EQ(platform::stringForType(pasteboard, platform::plainTextType), "theirs");
}

// Where the front application's selection is read without a key (X11's PRIMARY), the probe
// presses nothing and borrows nothing, with a selection there or without one.
TEST_F(ClipboardProbe, ASelectionReadWithoutKeysPressesAndBorrowsNothing) {
    for (const json& primary : {json("selected words"), json(nullptr)}) {
        SCOPED_TRACE(primary.dump());
        json withPrimary = desktop({{"delayMs", 0}});
        withPrimary["apps"][0]["primarySelection"] = primary;
        use(withPrimary);
        const clipboard::Probe probe = clipboard::Probe::run(100);
        EXPECT_FALSE(probe.ran);
        EXPECT_FALSE(probe.changed);
        EXPECT_FALSE(probe.restored);
        EXPECT_EQ(probe.text, primary.is_null() ? std::optional<std::string>()
                                                : std::optional<std::string>(primary));
        EXPECT_FALSE(clipboard::pendingRestore);
        platform::sim::settle(std::chrono::seconds(1));
        const json state = platform::sim::state();
        EXPECT_TRUE(state["lastRun"]["events"].empty());
        EXPECT_EQ(state["pasteboard"]["changeCount"], 3);
        EXPECT_EQ(state["pasteboard"]["items"], userItems);
    }
}

TEST(ClipboardProbeJson, HasExactlyTheThreeFlags) {
    EXPECT_EQ(clipboard::Probe{}.json(),
              json({{"ran", false}, {"changed", false}, {"restored", false}}));
    EXPECT_EQ(clipboard::Probe({true, true, "secret", true}).json().count("text"), 0U);
}

}  // namespace
