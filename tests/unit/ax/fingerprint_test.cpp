// Fingerprints: the anchor search over three ancestors, rounding, unreadable parts, and the
// reads it may make.
#include "ax/fingerprint.h"

#include <gtest/gtest.h>

#include "unit/ax/ax_support.h"

namespace {

using simtest::app;
using simtest::element;
using simtest::json;

json frame(double x, double y, double w, double h) {
    return {{"AXPosition", {{"point", {x, y}}}}, {"AXSize", {{"size", {w, h}}}}};
}

json with(json attributes, const json& more) {
    for (const auto& [key, value] : more.items()) {
        attributes[key] = value;
    }
    return attributes;
}

// root > l1 > l2 > l3 > l4 > target, each level's role chosen by the test.
json chain(const std::vector<std::string>& roles, const json& target) {
    json child = target;
    for (std::size_t i = roles.size(); i > 0; --i) {
        child =
            element("l" + std::to_string(i),
                    with(frame(static_cast<double>(i), 0, 100, 100), {{"AXRole", roles[i - 1]}}),
                    {{"children", {child}}});
    }
    return {{"apps",
             {app(30, element("root", {{"AXRole", "AXApplication"}}, {{"children", {child}}}))}}};
}

class AxFingerprint : public simtest::SimTest {};

TEST_F(AxFingerprint, ParentScrollAreaIsTheAnchor) {
    const json target = element("t", with(frame(5, 5, 1, 1), {{"AXRole", "AXTextArea"}}));
    json twin = element("u", with(frame(9, 9, 2, 2), {{"AXRole", "AXTextArea"}}));
    json desktop = chain({"AXGroup", "AXScrollArea"}, target);
    desktop["apps"][0]["root"]["children"][0]["children"][0]["children"].push_back(twin);
    use(desktop);
    EXPECT_EQ(ax::fingerprint(at(30, "t")), "AXTextArea||2,0,100,100");
    EXPECT_EQ(ax::fingerprint(at(30, "u")), ax::fingerprint(at(30, "t")));
}

TEST_F(AxFingerprint, ScrollAreaAsFourthAncestorIsNotLookedAt) {
    use(chain({"AXScrollArea", "AXGroup", "AXGroup", "AXGroup"},
              element("t", with(frame(5, 6, 7, 8),
                                {{"AXRole", "AXButton"}, {"AXSubrole", "AXCloseButton"}}))));
    EXPECT_EQ(ax::fingerprint(at(30, "t")), "AXButton|AXCloseButton|5,6,7,8");
    // The element's own reads: the frame of its anchor (itself), then role, then subrole.
    EXPECT_EQ(axtest::callsOn("t"),
              (std::vector<std::string>{"copy AXParent", "copy AXPosition", "copy AXSize",
                                        "copy AXRole", "copy AXSubrole"}));
    // Three ancestors examined: l4, l3, l2; l1 (the scroll area) is never read.
    EXPECT_TRUE(axtest::callsOn("l1").empty());
    EXPECT_FALSE(axtest::anyCall("l2", "AXParent"));
    EXPECT_LE(axtest::calls().size(), 11U);
}

TEST_F(AxFingerprint, ThirdAncestorScrollAreaIsFound) {
    use(chain({"AXScrollArea", "AXGroup", "AXGroup"}, element("t", {{"AXRole", "AXCell"}})));
    EXPECT_EQ(ax::fingerprint(at(30, "t")), "AXCell||1,0,100,100");
}

TEST_F(AxFingerprint, UnreadableParentMakesTheElementItsOwnAnchor) {
    use(chain({"AXScrollArea"}, element("t", with(frame(1, 2, 3, 4),
                                                  {{"AXRole", "AXCell"},
                                                   {"AXParent", {{"error", "cannotComplete"}}}}))));
    EXPECT_EQ(ax::fingerprint(at(30, "t")), "AXCell||1,2,3,4");
}

TEST_F(AxFingerprint, ScrollAreaElementUsesItsOwnFrame) {
    use(chain({"AXGroup"}, element("t", with(frame(3, 4, 5, 6), {{"AXRole", "AXScrollArea"}}))));
    EXPECT_EQ(ax::fingerprint(at(30, "t")), "AXScrollArea||3,4,5,6");
}

TEST_F(AxFingerprint, RoundsHalvesAwayFromZero) {
    use(chain({"AXGroup"},
              element("t", with(frame(10.5, -3.5, -0.4, 2.49), {{"AXRole", "AXCell"}}))));
    EXPECT_EQ(ax::fingerprint(at(30, "t")), "AXCell||11,-4,0,2");
}

TEST_F(AxFingerprint, MissingPartsBecomeEmptyOrQuestionMarks) {
    use(chain({"AXGroup"}, element("t", {{"AXPosition", {{"point", {1, 2}}}}})));
    EXPECT_EQ(ax::fingerprint(at(30, "t")), "||1,2,?,?");
    platform::sim::reset();
    use(chain({"AXGroup"}, element("t")));
    EXPECT_EQ(ax::fingerprint(at(30, "t")), "||?,?,?,?");
}

TEST(AxFingerprintCoordinate, NonFiniteAndHugeAreUnreadable) {
    EXPECT_EQ(ax::fingerprintCoordinate(std::numeric_limits<double>::quiet_NaN()), "?");
    EXPECT_EQ(ax::fingerprintCoordinate(1e300), "?");
    EXPECT_EQ(ax::fingerprintCoordinate(-0.5), "-1");
    EXPECT_EQ(ax::fingerprintCoordinate(0.49999), "0");
}

}  // namespace
