// Scripted changes and activation: timeline events at fixed times and after the helper's own
// actions, the workspace's view of the applications, and activation requests.
#include "platform/events.h"
#include "platform/pasteboard.h"
#include "platform/workspace.h"
#include "sim_support.h"

namespace simtest {
namespace {

using platform::AXError;

json twoApps() {
    json field = element("field", {{"AXRole", "AXTextField"}, {"AXValue", "old"}});
    json other = element("other", {{"AXRole", "AXButton"}});
    json root = element("root", {{"AXRole", "AXApplication"}}, {{"children", {field, other}}});
    return {app(1, root, {{"focused", "field"}, {"activation", {{"delayMs", 40}}}}),
            app(2, root, {{"focused", "other"}, {"activation", nullptr}})};
}

std::optional<platform::Pid> frontmostPid() {
    const auto front = platform::frontmostApplication();
    return front ? std::optional(platform::processIdentifier(*front)) : std::nullopt;
}

std::optional<std::string> focusOf(platform::Pid pid) {
    return idOfValue(
        platform::copyAttributeValue(platform::createApplication(pid), "AXFocusedUIElement"));
}

using SimTimeline = SimTest;

TEST_F(SimTimeline, TimedEventsFireAfterTheLoad) {
    use({{"frontmost", 1},
         {"apps", twoApps()},
         {"timeline",
          {{{"atMs", 120},
            {"set", {{"pid", 1}, {"element", "field"}, {"attributes", {{"AXValue", "new"}}}}}},
           {{"atMs", 120}, {"focus", {{"pid", 1}, {"element", "other"}}}},
           {{"atMs", 130}, {"focus", {{"pid", 2}, {"element", nullptr}}}},
           {{"atMs", 140}, {"frontmost", 2}}}}});
    const auto start = std::chrono::steady_clock::now();
    const auto before = text(platform::copyAttributeValue(at(1, "field"), "AXValue"));
    if (elapsedMs(start) < 100) {
        EXPECT_EQ(before, "old");
        EXPECT_EQ(frontmostPid(), 1);
    }
    platform::sim::settle(1s);
    EXPECT_EQ(text(platform::copyAttributeValue(at(1, "field"), "AXValue")), "new");
    EXPECT_EQ(focusOf(1), "other");
    EXPECT_EQ(
        platform::copyAttributeValue(platform::createApplication(2), "AXFocusedUIElement").error,
        AXError::noValue);
    EXPECT_EQ(frontmostPid(), 2);
    const auto focused =
        platform::copyAttributeValue(platform::createSystemWide(), "AXFocusedApplication");
    EXPECT_EQ(platform::getPid(std::get<platform::Element>(focused.value->data)).pid, 2);
}

TEST_F(SimTimeline, AfterEventsCountFromTheFirstHelperActionOfTheirKind) {
    use({{"frontmost", 1},
         {"apps", twoApps()},
         {"timeline",
          {{{"after", "commandV"},
            {"delayMs", 0},
            {"set", {{"pid", 1}, {"element", "field"}, {"attributes", {{"AXValue", "pasted"}}}}}},
           {{"after", "activation"}, {"delayMs", 0}, {"frontmost", nullptr}}}}});
    platform::sim::settle(200ms);
    EXPECT_EQ(text(platform::copyAttributeValue(at(1, "field"), "AXValue")), "old");

    // Command-C is not Command-V; a plain "v" is not a command.
    for (const auto& [key, flags] :
         {std::pair{8, platform::eventFlagMaskCommand}, std::pair{9, 0ul}}) {
        const auto e =
            platform::createKeyboardEvent(std::nullopt, static_cast<std::uint16_t>(key), true);
        platform::setFlags(*e, flags);
        platform::postEvent(platform::hidEventTap, *e);
    }
    platform::sim::settle(200ms);
    EXPECT_EQ(text(platform::copyAttributeValue(at(1, "field"), "AXValue")), "old");

    const auto v = platform::createKeyboardEvent(std::nullopt, 9, true);
    platform::setFlags(*v, platform::eventFlagMaskCommand);
    platform::postEvent(platform::hidEventTap, *v);
    platform::sim::settle(1s);
    EXPECT_EQ(text(platform::copyAttributeValue(at(1, "field"), "AXValue")), "pasted");

    EXPECT_EQ(platform::sim::state()["timeline"].size(), 1u);  // the fired event is gone
    EXPECT_EQ(frontmostPid(), 1);
    platform::activateWithOptions(*platform::runningApplicationWithProcessIdentifier(2), 0);
    platform::sim::settle(1s);
    EXPECT_EQ(frontmostPid(), std::nullopt);
    EXPECT_TRUE(platform::sim::state()["timeline"].empty());
}

TEST_F(SimTimeline, ActivationBringsTheAppForwardAfterItsDelay) {
    use({{"frontmost", 2}, {"systemVersion", "13.6.1"}, {"apps", twoApps()}});
    const auto one = platform::runningApplicationWithProcessIdentifier(1);
    ASSERT_TRUE(one.has_value());
    EXPECT_TRUE(platform::activateWithOptions(*one, platform::activateIgnoringOtherApps));
    EXPECT_EQ(frontmostPid(), 2);
    platform::sim::settle(1s);
    EXPECT_EQ(frontmostPid(), 1);

    // An app whose activation is null never comes forward.
    platform::activateWithOptions(*platform::runningApplicationWithProcessIdentifier(2), 0);
    platform::sim::settle(1s);
    EXPECT_EQ(frontmostPid(), 1);

    const json activations = platform::sim::state()["lastRun"]["activations"];
    ASSERT_EQ(activations.size(), 2u);
    EXPECT_EQ(activations[0]["pid"], 1);
    EXPECT_EQ(activations[0]["options"], 2);
}

TEST_F(SimTimeline, FailingFocusedApplicationStaysFailing) {
    use({{"frontmost", 2},
         {"focusedApplication", "fail"},
         {"apps", twoApps()},
         {"timeline", {{{"atMs", 0}, {"frontmost", 1}}}}});
    platform::sim::settle(1s);
    EXPECT_EQ(frontmostPid(), 1);
    EXPECT_EQ(
        platform::copyAttributeValue(platform::createSystemWide(), "AXFocusedApplication").error,
        AXError::cannotComplete);
    EXPECT_EQ(platform::sim::state()["focusedApplication"], "fail");
}

TEST_F(SimTimeline, WorkspaceSeesEveryAppOnTheDesktop) {
    json apps = twoApps();
    apps[1]["terminated"] = true;
    apps[1]["bundleId"] = nullptr;
    use({{"frontmost", 3}, {"apps", apps}});
    EXPECT_FALSE(platform::frontmostApplication().has_value());  // 3 is not on the desktop
    const auto gone = platform::runningApplicationWithProcessIdentifier(2);
    ASSERT_TRUE(gone.has_value());
    EXPECT_TRUE(platform::isTerminated(*gone));
    EXPECT_FALSE(platform::bundleIdentifier(*gone).has_value());
    EXPECT_FALSE(platform::activateWithOptions(*gone, 0));
    const auto one = platform::runningApplicationWithProcessIdentifier(1);
    EXPECT_FALSE(platform::isTerminated(*one));
    EXPECT_EQ(platform::bundleIdentifier(*one), "com.example.1");
    EXPECT_EQ(platform::localizedName(*one), "App 1");
    EXPECT_FALSE(platform::runningApplicationWithProcessIdentifier(4).has_value());

    EXPECT_TRUE(platform::isOperatingSystemAtLeast(14, 0, 0));  // default 14.0
    EXPECT_FALSE(platform::isOperatingSystemAtLeast(14, 0, 1));
    use({{"systemVersion", "13.6.1"}, {"apps", json::array()}});
    EXPECT_TRUE(platform::isOperatingSystemAtLeast(13, 6, 1));
    EXPECT_FALSE(platform::isOperatingSystemAtLeast(14, 0, 0));
}

}  // namespace
}  // namespace simtest
