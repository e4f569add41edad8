// The primitives against the simulated desktop: absent versus empty, wrong kinds, the two
// fall-backs of the selection bounds, editability, labels, children and the focused process.
#include "ax/primitives.h"

#include <gtest/gtest.h>

#include "unit/ax/ax_support.h"

namespace {

using simtest::app;
using simtest::element;
using simtest::json;

class AxPrimitives : public simtest::SimTest {
  protected:
    platform::Element field(const json& attributes, const json& extra = json::object()) {
        use({{"apps",
              {app(10, element("root", {{"AXRole", "AXApplication"}},
                               {{"children", {element("f", attributes, extra)}}}))}}});
        return at(10, "f");
    }
};

TEST_F(AxPrimitives, StringAttributeKeepsEmptyAndRefusesOtherKinds) {
    const auto f = field({{"AXValue", ""},
                          {"AXTitle", 5},
                          {"AXHelp", {{"attributed", "x"}}},
                          {"AXDescription", {{"error", "cannotComplete"}}}});
    EXPECT_EQ(ax::stringAttribute(f, "AXValue"), "");
    EXPECT_FALSE(ax::stringAttribute(f, "AXTitle"));
    EXPECT_FALSE(ax::stringAttribute(f, "AXHelp"));
    EXPECT_FALSE(ax::stringAttribute(f, "AXDescription"));
    EXPECT_FALSE(ax::stringAttribute(f, "AXNothing"));
}

TEST_F(AxPrimitives, AxValueNeedsTheRightKind) {
    const auto f = field({{"AXPosition", {{"point", {1, 2}}}}, {"AXSize", 3}});
    EXPECT_TRUE(ax::axValue<ax::Point>(ax::attribute(f, "AXPosition"), ax::WrappedKind::point));
    EXPECT_FALSE(ax::axValue<ax::Size>(ax::attribute(f, "AXPosition"), ax::WrappedKind::size));
    EXPECT_FALSE(ax::axValue<ax::Size>(ax::attribute(f, "AXSize"), ax::WrappedKind::size));
    EXPECT_FALSE(ax::axValue<ax::Size>(std::nullopt, ax::WrappedKind::size));
}

TEST_F(AxPrimitives, SelectionBoundsPrefersACaretWithHeight) {
    const auto caret = field({{"AXSelectedTextRange", {{"range", {3, 0}}}},
                              {"AXPosition", {{"point", {100, 200}}}},
                              {"AXSize", {{"size", {50, 20}}}}},
                             {{"boundsForRange", {{"rect", {110, 204, 0, 16}}}}});
    const auto bounds = ax::selectionBounds(caret);
    ASSERT_TRUE(bounds);
    EXPECT_EQ(bounds->origin.x, 110);
    EXPECT_EQ(bounds->size.height, 16);
}

TEST_F(AxPrimitives, SelectionBoundsMeasuresSizesAsMagnitudes) {
    const auto flipped = field({{"AXSelectedTextRange", {{"range", {3, 0}}}},
                                {"AXPosition", {{"point", {100, 200}}}},
                                {"AXSize", {{"size", {50, 20}}}}},
                               {{"boundsForRange", {{"rect", {10, 20, 0, -16}}}}});
    const auto bounds = ax::selectionBounds(flipped);
    ASSERT_TRUE(bounds);
    EXPECT_EQ(bounds->origin.x, 10);  // the caret's, not the element's frame
    EXPECT_EQ(bounds->size.height, -16);
}

TEST_F(AxPrimitives, SelectionBoundsFallsBackToTheFrame) {
    const json frame = {{"AXPosition", {{"point", {100, 200}}}}, {"AXSize", {{"size", {0, 0}}}}};
    json withEmptyBounds = frame;
    withEmptyBounds["AXSelectedTextRange"] = {{"range", {3, 0}}};
    auto bounds = ax::selectionBounds(
        field(withEmptyBounds, {{"boundsForRange", {{"rect", {110, 204, 0, 0}}}}}));
    ASSERT_TRUE(bounds);  // a 0-by-0 answer is not used; the zero-size frame is
    EXPECT_EQ(bounds->origin.y, 200);
    EXPECT_EQ(bounds->size.width, 0);

    bounds = ax::selectionBounds(field(frame));  // no range at all
    ASSERT_TRUE(bounds);
    EXPECT_EQ(bounds->origin.x, 100);

    EXPECT_FALSE(ax::selectionBounds(field({{"AXPosition", {{"point", {1, 2}}}}})));
}

TEST_F(AxPrimitives, EditableByValueSelectionOrAncestor) {
    EXPECT_TRUE(ax::isEditable(field({{"AXValue", "x"}}, {{"settable", {"AXValue"}}})));
    EXPECT_TRUE(ax::isEditable(field({{"AXSelectedTextRange", {{"range", {0, 0}}}}},
                                     {{"settable", {"AXSelectedTextRange"}}})));
    EXPECT_TRUE(ax::isEditable(field({{"AXValue", "x"}, {"AXEditableAncestor", "anything"}})));
    EXPECT_FALSE(ax::isEditable(field({{"AXValue", "x"}})));
}

TEST_F(AxPrimitives, LabelIsTheFirstNonEmptyOfThree) {
    EXPECT_EQ(ax::accessibleLabel(
                  field({{"AXDescription", ""}, {"AXTitle", "Send"}, {"AXPlaceholderValue", "x"}})),
              "Send");
    EXPECT_EQ(ax::accessibleLabel(field({{"AXTitle", 3}, {"AXPlaceholderValue", "  "}})), "  ");
    EXPECT_EQ(ax::accessibleLabel(field({{"AXRole", "AXButton"}})), "");
}

TEST_F(AxPrimitives, ChildrenAreEmptyOnFailureOrMixedLists) {
    EXPECT_TRUE(ax::children(field({{"AXChildren", {{"error", "cannotComplete"}}}})).empty());
    const json self = {{"element", "f"}};
    const json root = {{"element", "root"}};
    EXPECT_TRUE(ax::children(field({{"AXChildren", json::array({self, "text"})}})).empty());
    EXPECT_EQ(ax::children(field({{"AXChildren", json::array({self, root})}})).size(), 2U);
}

TEST_F(AxPrimitives, FocusedPidFallsBackToTheWorkspace) {
    use({{"frontmost", 11},
         {"focusedApplication", "fail"},
         {"apps", {app(11, element("r", {{"AXRole", "AXApplication"}}))}}});
    EXPECT_EQ(ax::focusedPid(), 11);
    platform::sim::reset();
    use({{"frontmost", 11},
         {"focusedApplication", 12},
         {"apps",
          {app(11, element("r", {{"AXRole", "AXApplication"}})),
           app(12, element("r", {{"AXRole", "AXApplication"}}))}}});
    EXPECT_EQ(ax::focusedPid(), 12);
    platform::sim::reset();
    use({{"frontmost", nullptr}, {"apps", json::array()}});
    EXPECT_FALSE(ax::focusedPid());
}

TEST_F(AxPrimitives, SetSelectedRangeNeedsASettableRange) {
    const auto settable =
        field({{"AXValue", "hello"}, {"AXSelectedTextRange", {{"range", {0, 0}}}}},
              {{"settable", {"AXSelectedTextRange"}}});
    EXPECT_TRUE(ax::setSelectedRange(settable, {5, 0}));
    EXPECT_EQ(ax::selectedRange(settable), (platform::Range{5, 0}));
    EXPECT_FALSE(
        ax::setSelectedRange(field({{"AXSelectedTextRange", {{"range", {0, 0}}}}}), {1, 0}));
}

}  // namespace
