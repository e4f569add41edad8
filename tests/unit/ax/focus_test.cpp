// The focus snapshot: the wait for a focused element, the password-field classification and
// what is never read through it.
#include "ax/focus.h"

#include <gtest/gtest.h>

#include "unit/ax/ax_support.h"

namespace {

using simtest::app;
using simtest::element;
using simtest::json;

class AxFocus : public simtest::SimTest {
  protected:
    void useFocused(const json& attributes, const json& appExtra = json::object(),
                    const json& extra = json::object()) {
        json appFields = {{"focused", "f"}};
        for (const auto& [key, value] : appExtra.items()) {
            appFields[key] = value;
        }
        use({{"frontmost", 40},
             {"apps",
              {app(40,
                   element("root", {{"AXRole", "AXApplication"}},
                           {{"children", {element("f", attributes, extra)}}}),
                   appFields)}}});
    }
};

TEST_F(AxFocus, SubroleMakesAPasswordFieldAndNothingOfItIsRead) {
    useFocused({{"AXRole", "AXTextField"},
                {"AXSubrole", "AXSecureTextField"},
                {"AXValue", "hunter2"},
                {"AXSelectedTextRange", {{"range", {0, 7}}}}},
               {}, {{"settable", {"AXValue"}}});
    const auto focus = ax::focusOf(40);
    ASSERT_TRUE(focus);
    EXPECT_TRUE(focus->secure);
    EXPECT_FALSE(focus->editable);
    EXPECT_EQ(focus->role, "AXSecureTextField");
    EXPECT_FALSE(focus->value());
    EXPECT_FALSE(focus->selectedText());
    EXPECT_EQ(axtest::callsOn("f"), (std::vector<std::string>{"copy AXRole", "copy AXSubrole"}));
}

TEST_F(AxFocus, SecureRoleSkipsTheSubrole) {
    useFocused({{"AXRole", "AXSecureTextField"}, {"AXValue", "x"}});
    const auto focus = ax::focusOf(40);
    ASSERT_TRUE(focus && focus->secure);
    EXPECT_EQ(axtest::callsOn("f"), (std::vector<std::string>{"copy AXRole"}));
}

TEST_F(AxFocus, TreeRequestedAndRoleReadOnTheApplicationBeforeTheWait) {
    useFocused({{"AXRole", "AXTextArea"}});
    ASSERT_TRUE(ax::focusOf(40));
    const std::vector<std::string> root = axtest::callsOn("root");
    ASSERT_GE(root.size(), 3U);
    EXPECT_EQ(root[0], "set AXManualAccessibility");
    EXPECT_EQ(root[1], "copy AXRole");
    EXPECT_EQ(root[2], "copy AXFocusedUIElement");
}

TEST_F(AxFocus, FocusArrivingWithinTheWaitIsTaken) {
    useFocused({{"AXRole", "AXTextArea"}, {"AXValue", ""}}, {{"focusDelayMs", 200}},
               {{"settable", {"AXValue"}}});
    const auto focus = ax::focusOf(40);
    ASSERT_TRUE(focus);
    EXPECT_TRUE(focus->editable);
    EXPECT_EQ(focus->value(), "");  // empty, not absent
}

TEST_F(AxFocus, FocusArrivingAfterTheWaitIsAbsent) {
    useFocused({{"AXRole", "AXTextArea"}}, {{"focusDelayMs", 650}});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ax::focusOf(40));
    EXPECT_GE(simtest::elapsedMs(start), 480);
}

TEST_F(AxFocus, MissingRoleIsNotSecureAndEditabilityIsStillTested) {
    useFocused({{"AXValue", "x"}}, {}, {{"settable", {"AXValue"}}});
    const auto focus = ax::focusOf(40);
    ASSERT_TRUE(focus);
    EXPECT_FALSE(focus->role);
    EXPECT_FALSE(focus->secure);
    EXPECT_TRUE(focus->editable);
}

TEST_F(AxFocus, ValueIsReadAfreshEachTime) {
    useFocused({{"AXRole", "AXTextArea"}, {"AXValue", "one"}}, {}, {{"settable", {"AXValue"}}});
    const auto focus = ax::focusOf(40);
    ASSERT_TRUE(focus);
    EXPECT_EQ(focus->value(), "one");
    ASSERT_EQ(platform::setAttributeValue(focus->element, "AXValue", platform::Value{"two"}),
              platform::AXError::success);
    EXPECT_EQ(focus->value(), "two");
}

}  // namespace
