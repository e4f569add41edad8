// The element model through the accessibility interface: derived attributes, explicit values and
// errors, writes, focus, identity of handles, and the record of calls.
#include "platform/core_foundation.h"
#include "platform/sim/handles.h"
#include "sim_support.h"

namespace simtest {
namespace {

using platform::AXError;

json textTree() {
    json field = element("field",
                         {{"AXRole", "AXTextArea"},
                          {"AXValue", "ab😀cd"},  // the emoji takes two UTF-16 units
                          {"AXSelectedTextRange", {{"range", {1, 3}}}}},
                         {{"settable", {"AXValue", "AXSelectedTextRange", "AXFocused"}}});
    json label = element("label", {{"AXRole", "AXStaticText"}, {"AXValue", "Name"}});
    json group = element("group", {{"AXRole", "AXGroup"}}, {{"children", {field, label}}});
    json window = element("window", {{"AXRole", "AXWindow"}}, {{"children", {group}}});
    json other = element("other-window", {{"AXRole", "AXWindow"}});
    return element("root", {{"AXRole", "AXApplication"}}, {{"children", {window, other}}});
}

using SimValues = SimTest;

class SimElements : public SimTest {
  protected:
    void SetUp() override {
        use({{"frontmost", 501}, {"apps", {app(501, textTree(), {{"focused", "field"}})}}});
    }
};

TEST_F(SimElements, SelectedTextCountsUtf16UnitsAndClampsToTheValue) {
    const auto field = at(501, "field");
    // Units 1..4 of a b (😀 = 2 units) c d.
    EXPECT_EQ(text(platform::copyAttributeValue(field, "AXSelectedText")), "b😀");
    ASSERT_EQ(platform::setAttributeValue(field, "AXSelectedTextRange", range(4, 100)),
              AXError::success);
    EXPECT_EQ(text(platform::copyAttributeValue(field, "AXSelectedText")), "cd");
    ASSERT_EQ(platform::setAttributeValue(field, "AXSelectedTextRange", range(9, 0)),
              AXError::success);
    EXPECT_EQ(text(platform::copyAttributeValue(field, "AXSelectedText")), "");

    const auto count = platform::copyAttributeValue(field, "AXNumberOfCharacters");
    ASSERT_EQ(count.error, AXError::success);
    EXPECT_EQ(std::get<std::int64_t>(std::get<platform::Number>(count.value->data).value), 6);

    // No selected text without a range.
    const auto label = at(501, "label");
    EXPECT_EQ(platform::copyAttributeValue(label, "AXSelectedText").error,
              AXError::attributeUnsupported);
}

TEST_F(SimElements, TreeAttributesComeFromTheTable) {
    const auto field = at(501, "field");
    EXPECT_EQ(idOfValue(platform::copyAttributeValue(field, "AXParent")), "group");
    EXPECT_EQ(idOfValue(platform::copyAttributeValue(field, "AXWindow")), "window");
    // A window is not its own window, and the root has neither parent nor window.
    EXPECT_EQ(platform::copyAttributeValue(at(501, "window"), "AXWindow").error,
              AXError::attributeUnsupported);
    EXPECT_EQ(platform::copyAttributeValue(at(501, "root"), "AXParent").error,
              AXError::attributeUnsupported);

    const auto children = platform::copyAttributeValue(at(501, "group"), "AXChildren");
    ASSERT_EQ(children.error, AXError::success);
    const auto& list = std::get<platform::ValueList>(children.value->data);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(platform::sim::idOf(std::get<platform::Element>(list[1].data)), "label");

    const auto none = platform::copyAttributeValue(at(501, "label"), "AXChildren");
    ASSERT_EQ(none.error, AXError::success);
    EXPECT_TRUE(std::get<platform::ValueList>(none.value->data).empty());

    EXPECT_EQ(platform::copyAttributeValue(field, "AXTitle").error, AXError::attributeUnsupported);
}

TEST_F(SimElements, RootReportsFocusAndFocusedWindow) {
    const auto root = platform::createApplication(501);
    EXPECT_EQ(idOfValue(platform::copyAttributeValue(root, "AXFocusedUIElement")), "field");
    EXPECT_EQ(idOfValue(platform::copyAttributeValue(root, "AXFocusedWindow")), "window");

    // The label does not take focus when asked.
    EXPECT_EQ(platform::setAttributeValue(at(501, "label"), "AXFocused", platform::Value{true}),
              AXError::attributeUnsupported);
    EXPECT_EQ(idOfValue(platform::copyAttributeValue(root, "AXFocusedUIElement")), "field");

    const auto system = platform::createSystemWide();
    EXPECT_EQ(text(platform::copyAttributeValue(system, "AXRole")), "AXSystemWide");
    const auto focusedApp = platform::copyAttributeValue(system, "AXFocusedApplication");
    ASSERT_EQ(focusedApp.error, AXError::success);
    const auto& appElement = std::get<platform::Element>(focusedApp.value->data);
    EXPECT_EQ(platform::getPid(appElement).pid, 501);
    EXPECT_TRUE(platform::same(appElement, root));
}

TEST_F(SimElements, WritesFollowTheSettableList) {
    const auto field = at(501, "field");
    EXPECT_EQ(platform::setAttributeValue(field, "AXValue", platform::Value{std::string("new")}),
              AXError::success);
    EXPECT_EQ(text(platform::copyAttributeValue(field, "AXValue")), "new");
    EXPECT_EQ(platform::setAttributeValue(field, "AXSelectedTextRange",
                                          platform::Value{std::string("x")}),
              AXError::illegalArgument);
    EXPECT_EQ(
        platform::setAttributeValue(at(501, "label"), "AXValue", platform::Value{std::string("x")}),
        AXError::attributeUnsupported);
    EXPECT_EQ(text(platform::copyAttributeValue(at(501, "label"), "AXValue")), "Name");

    const auto settable = platform::isAttributeSettable(field, "AXValue");
    EXPECT_EQ(settable.error, AXError::success);
    EXPECT_TRUE(settable.settable);
    const auto notSettable = platform::isAttributeSettable(at(501, "label"), "AXValue");
    EXPECT_EQ(notSettable.error, AXError::success);
    EXPECT_FALSE(notSettable.settable);
    EXPECT_EQ(platform::isAttributeSettable(at(501, "label"), "AXPlaceholderValue").error,
              AXError::attributeUnsupported);
}

TEST_F(SimValues, FocusMovesAndAnswersOnlyAfterTheFocusDelay) {
    json field = element("field", {{"AXRole", "AXTextField"}}, {{"settable", {"AXFocused"}}});
    json other = element("other", {{"AXRole", "AXTextField"}}, {{"settable", {"AXFocused"}}});
    json root = element("root", {{"AXRole", "AXApplication"}}, {{"children", {field, other}}});
    use({{"apps", {app(7, root, {{"focused", "field"}, {"focusDelayMs", 300}})}}});
    const auto start = std::chrono::steady_clock::now();
    const auto rootHandle = platform::createApplication(7);
    const auto early = platform::copyAttributeValue(rootHandle, "AXFocusedUIElement");
    if (elapsedMs(start) < 250) {
        EXPECT_EQ(early.error, AXError::noValue);
    }
    std::this_thread::sleep_for(350ms);
    EXPECT_EQ(idOfValue(platform::copyAttributeValue(rootHandle, "AXFocusedUIElement")), "field");
    EXPECT_EQ(platform::setAttributeValue(at(7, "other"), "AXFocused", platform::Value{true}),
              AXError::success);
    EXPECT_EQ(idOfValue(platform::copyAttributeValue(rootHandle, "AXFocusedUIElement")), "other");
}

TEST_F(SimValues, ExplicitValuesWinAndErrorValuesFail) {
    json e = element("e", {{"AXRole", "AXTextArea"},
                           {"AXValue", {{"error", "cannotComplete"}}},
                           {"AXSelectedText", {{"attributed", "styled"}}},
                           {"AXParent", {{"error", "noValue"}}},
                           {"AXDescription", nullptr},
                           {"AXPosition", {{"point", {1.5, -2}}}},
                           {"AXDOMClassList", {"a", "b"}},
                           {"AXLinkedUIElements", {{{"element", "root"}}}}});
    use({{"apps", {app(9, element("root", {{"AXRole", "AXApplication"}}, {{"children", {e}}}))}}});
    const auto handle = at(9, "e");
    EXPECT_EQ(platform::copyAttributeValue(handle, "AXValue").error, AXError::cannotComplete);
    EXPECT_EQ(platform::copyAttributeValue(handle, "AXParent").error, AXError::noValue);
    // Explicit, so not derived from AXValue: an attributed string is not a string.
    const auto selected = platform::copyAttributeValue(handle, "AXSelectedText");
    ASSERT_EQ(selected.error, AXError::success);
    EXPECT_EQ(std::get<platform::AttributedString>(selected.value->data).text, "styled");
    // null: the call succeeds and leaves the value empty.
    const auto description = platform::copyAttributeValue(handle, "AXDescription");
    EXPECT_EQ(description.error, AXError::success);
    EXPECT_FALSE(description.value.has_value());
    const auto position = platform::copyAttributeValue(handle, "AXPosition");
    const auto& wrapped = std::get<platform::Wrapped>(position.value->data);
    EXPECT_EQ(wrapped.kind(), platform::WrappedKind::point);
    EXPECT_EQ(std::get<platform::Point>(wrapped.value).x, 1.5);
    const auto linked = platform::copyAttributeValue(handle, "AXLinkedUIElements");
    const auto& list = std::get<platform::ValueList>(linked.value->data);
    EXPECT_TRUE(platform::same(std::get<platform::Element>(list.at(0).data),
                               platform::createApplication(9)));
}

TEST_F(SimValues, BoundsForRangeNeedsAWrappedRange) {
    json withBounds = element("with", {{"AXRole", "AXTextArea"}},
                              {{"boundsForRange", {{"rect", {10, 20, 0, 16}}}}});
    json without = element("without", {{"AXRole", "AXTextArea"}});
    use({{"apps", {app(3, element("root", {}, {{"children", {withBounds, without}}}))}}});
    const auto bounds =
        platform::copyParameterizedAttributeValue(at(3, "with"), "AXBoundsForRange", range(0, 4));
    ASSERT_EQ(bounds.error, AXError::success);
    const auto rect =
        std::get<platform::Rect>(std::get<platform::Wrapped>(bounds.value->data).value);
    EXPECT_EQ(rect.origin.y, 20);
    EXPECT_EQ(rect.size.height, 16);
    EXPECT_EQ(platform::copyParameterizedAttributeValue(at(3, "with"), "AXBoundsForRange",
                                                        platform::Value{std::string("0")})
                  .error,
              AXError::illegalArgument);
    EXPECT_EQ(
        platform::copyParameterizedAttributeValue(at(3, "without"), "AXBoundsForRange", range(0, 1))
            .error,
        AXError::attributeUnsupported);
}

TEST_F(SimValues, SelectionReadBackKeepsReportingItsRange) {
    json field = element("field",
                         {{"AXRole", "AXTextArea"},
                          {"AXValue", "hello"},
                          {"AXSelectedTextRange", {{"range", {0, 0}}}}},
                         {{"settable", {"AXSelectedTextRange"}}, {"selectionReadBack", {0, 0}}});
    use({{"apps", {app(4, element("root", {}, {{"children", {field}}}))}}});
    const auto handle = at(4, "field");
    EXPECT_EQ(platform::setAttributeValue(handle, "AXSelectedTextRange", range(5, 0)),
              AXError::success);
    const auto read = platform::copyAttributeValue(handle, "AXSelectedTextRange");
    EXPECT_EQ(std::get<platform::Range>(std::get<platform::Wrapped>(read.value->data).value),
              (platform::Range{0, 0}));
}

TEST_F(SimValues, FocusedApplicationFollowsTheDesktopSetting) {
    json root = element("root", {{"AXRole", "AXApplication"}});
    const auto focusedPid = [&](const json& setting) {
        use({{"frontmost", 1},
             {"focusedApplication", setting},
             {"apps", {app(1, root), app(2, root)}}});
        return platform::copyAttributeValue(platform::createSystemWide(), "AXFocusedApplication");
    };
    const auto toTwo = focusedPid(2);
    ASSERT_EQ(toTwo.error, AXError::success);
    EXPECT_EQ(platform::getPid(std::get<platform::Element>(toTwo.value->data)).pid, 2);
    EXPECT_EQ(focusedPid(nullptr).error, AXError::noValue);
    EXPECT_EQ(focusedPid("fail").error, AXError::cannotComplete);
    EXPECT_EQ(focusedPid(99).error, AXError::noValue);
}

TEST_F(SimValues, GoneAppsAndStaleHandlesAreInvalid) {
    json root = element("root", {{"AXRole", "AXApplication"}});
    use({{"apps", {app(1, root, {{"terminated", true}})}}});
    EXPECT_EQ(platform::copyAttributeValue(platform::createApplication(1), "AXRole").error,
              AXError::invalidUIElement);
    EXPECT_EQ(platform::copyAttributeValue(platform::createApplication(2), "AXRole").error,
              AXError::invalidUIElement);
    EXPECT_EQ(platform::copyAttributeValue(platform::Element{}, "AXRole").error,
              AXError::illegalArgument);

    use({{"apps", {app(1, root)}}});
    const auto old = platform::createApplication(1);
    use({{"apps", {app(1, root)}}});
    EXPECT_EQ(platform::copyAttributeValue(old, "AXRole").error, AXError::invalidUIElement);
    EXPECT_EQ(text(platform::copyAttributeValue(platform::createApplication(1), "AXRole")),
              "AXApplication");
}

TEST_F(SimValues, UntrustedProcessGetsApiDisabled) {
    use({{"trusted", false}, {"apps", {app(1, element("root", {{"AXRole", "AXApplication"}}))}}});
    EXPECT_FALSE(platform::isProcessTrusted());
    EXPECT_EQ(platform::copyAttributeValue(platform::createApplication(1), "AXRole").error,
              AXError::apiDisabled);
}

TEST_F(SimElements, EveryMessageIsLoggedInOrder) {
    const auto field = at(501, "field");
    platform::copyAttributeValue(field, "AXValue");
    platform::setMessagingTimeout(field, 0.5f);  // not a message
    platform::isAttributeSettable(field, "AXValue");
    platform::copyAttributeValue(platform::createSystemWide(), "AXFocusedApplication");
    platform::copyAttributeValue(at(501, "label"), "AXNope");
    const json calls = platform::sim::state()["lastRun"]["calls"];
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0]["element"], "field");
    EXPECT_EQ(calls[0]["op"], "copy");
    EXPECT_EQ(calls[0]["attribute"], "AXValue");
    EXPECT_EQ(calls[0]["pid"], 501);
    EXPECT_TRUE(calls[0]["atMs"].is_number());
    EXPECT_EQ(calls[1]["op"], "isSettable");
    EXPECT_EQ(calls[2]["element"], "systemWide");
    EXPECT_EQ(calls[3]["error"], "attributeUnsupported");
}

TEST_F(SimElements, ReturnedHandlesAreNewObjectsThatCompareByElement) {
    const auto a = at(501, "field");
    const auto copy = a;
    const auto parentChild = std::get<platform::ValueList>(
        platform::copyAttributeValue(at(501, "group"), "AXChildren").value->data)[0];
    const auto& b = std::get<platform::Element>(parentChild.data);
    EXPECT_TRUE(platform::same(a, b));
    EXPECT_NE(a.object, b.object);
    EXPECT_FALSE(platform::same(a, at(501, "label")));
    EXPECT_EQ(platform::setMessagingTimeout(copy, -1), AXError::illegalArgument);
    EXPECT_EQ(platform::setMessagingTimeout(copy, 0.25f), AXError::success);
    EXPECT_EQ(a.object->timeoutSeconds.load(), 0.25f);  // copies share the object
    EXPECT_EQ(b.object->timeoutSeconds.load(), 6.0f);
}

}  // namespace
}  // namespace simtest
