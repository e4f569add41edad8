// The conversation walk on small trees: where the list search looks and where it must not, its
// budgets, the row dump's order, depth and skips, the deadline inside a row, and the user search.
#include "capture/conversation.h"

#include <gtest/gtest.h>

#include "ax/focus.h"
#include "support/desktop_json.h"
#include "unit/sim/sim_support.h"

namespace {

using desktopjson::element;
using desktopjson::json;

constexpr int pid = 80;

json node(const std::string& id, const std::string& role, const json& children = json::array(),
          const json& more = json::object()) {
    // A braced single element reaches here as that element, not as a list of one.
    const json list = children.is_object() ? json::array({children}) : children;
    return element(id, desktopjson::merged({{"AXRole", role}}, more), {{"children", list}});
}

json rows(int count, const json& more = json::object(), const std::string& prefix = "") {
    json result = json::array();
    for (int i = 1; i <= count; ++i) {
        const std::string n = prefix + std::to_string(i);
        result.push_back(
            node("row" + n, "AXGroup",
                 {node("text" + n, "AXStaticText", json::array(), {{"AXValue", "m" + n}})}, more));
    }
    return result;
}

capture::Reader readerFor(std::int64_t rowCount = 3, std::int64_t depth = 1) {
    capture::Reader reader;
    reader.list = {{"AXList", std::nullopt}};
    reader.rows = rowCount;
    reader.depth = depth;
    return reader;
}

class CaptureConversation : public simtest::SimTest {
  protected:
    json walk(const json& windowChildren, const capture::Reader& reader,
              std::int64_t budgetMs = 2000, const std::string& focused = "focus") {
        const json window = node("window", "AXWindow", windowChildren);
        use({{"frontmost", pid},
             {"apps",
              {desktopjson::app(pid, node("root", "AXApplication", {window}),
                                {{"focused", focused}})}}});
        const auto focus = ax::focusOf(pid);
        EXPECT_TRUE(focus);
        capture::ConversationRequest request{budgetMs, {}};
        return capture::dumpConversation(request, reader, *focus);
    }
};

TEST_F(CaptureConversation, UnreadableParentIsNoList) {
    const json focus =
        node("focus", "AXButton", json::array(), {{"AXParent", {{"error", "noValue"}}}});
    const json result = walk({focus, node("list", "AXList", rows(2))}, readerFor());
    EXPECT_EQ(result["missed"], "noList");
    EXPECT_EQ(result["ms"].size(), 1U);
    EXPECT_TRUE(result["ms"].contains("list"));
}

TEST_F(CaptureConversation, NoBudgetTimesOutAtTheFirstAncestor) {
    const json result =
        walk({node("focus", "AXButton"), node("list", "AXList", rows(2))}, readerFor(), 0);
    EXPECT_EQ(result["missed"], "timedOut");
}

TEST_F(CaptureConversation, ParentThatIsTheListIsFound) {
    const json result = walk({node("list", "AXList", rows(2))}, readerFor(), 2000, "row1");
    EXPECT_EQ(result["rows"].size(), 2U);
}

TEST_F(CaptureConversation, ListInsideTheFocusIsNeverFound) {
    const json focus = node("focus", "AXGroup", {node("inner", "AXList", rows(1))});
    EXPECT_EQ(walk({focus}, readerFor())["missed"], "noList");
}

TEST_F(CaptureConversation, NearestAncestorsSubtreeWinsBreadthFirst) {
    // The sibling pane's list is nearer than the window's; below the pane, the shallower list
    // comes first.
    json nearList = node("near", "AXList", rows(1, {}, "n"), {{"AXDescription", "near"}});
    json deepList = node("deep", "AXList", rows(1, {}, "d"), {{"AXDescription", "deep"}});
    const json pane = node("pane", "AXGroup",
                           {node("focus", "AXButton"), node("g", "AXGroup", {deepList}), nearList});
    const json far = node("far", "AXList", rows(1, {}, "f"), {{"AXDescription", "far"}});
    EXPECT_EQ(walk({far, pane}, readerFor())["list"]["description"], "near");
}

TEST_F(CaptureConversation, SkipClassesStopTheSearchBelowButNotAtTheNode) {
    const json skipped = {{"AXDOMClassList", {"sidebar"}}};
    capture::Reader reader = readerFor();
    reader.skipClasses = {"sidebar"};
    json hidden = node("box", "AXGroup", {node("hidden", "AXList", rows(1))}, skipped);
    EXPECT_EQ(walk({node("focus", "AXButton"), hidden}, reader)["missed"], "noList");
    platform::sim::reset();
    json skippedList = node("list", "AXList", rows(1), skipped);
    EXPECT_EQ(walk({node("focus", "AXButton"), skippedList}, reader)["rows"].size(), 1U);
}

TEST_F(CaptureConversation, NodeBudgetEndsInNoListWithTimeToSpare) {
    json window = json::array({node("focus", "AXButton")});
    for (int i = 0; i < 400; ++i) {
        window.push_back(node("n" + std::to_string(i), "AXStaticText"));
    }
    window.push_back(node("list", "AXList", rows(1)));  // the 401st queued node
    EXPECT_EQ(walk(window, readerFor(), 60000)["missed"], "noList");
    platform::sim::reset();
    window.erase(1);  // now the 400th
    EXPECT_TRUE(walk(window, readerFor(), 60000).contains("rows"));
}

TEST_F(CaptureConversation, LastRowsComeLastChildFirst) {
    const json result =
        walk({node("focus", "AXButton"), node("list", "AXList", rows(5))}, readerFor(3));
    ASSERT_EQ(result["rows"].size(), 3U);
    EXPECT_EQ(result["rows"][0]["children"][0]["value"], "m5");
    EXPECT_EQ(result["rows"][2]["children"][0]["value"], "m3");
}

TEST_F(CaptureConversation, NoRowsBeforeTheDeadlineIsStillSuccess) {
    json result = walk({node("focus", "AXButton"), node("list", "AXList", rows(2))}, readerFor(0));
    EXPECT_TRUE(result["rows"].empty());
    EXPECT_FALSE(result.contains("missed"));
    platform::sim::reset();
    result = walk({node("focus", "AXButton"), node("list", "AXList", rows(2))}, readerFor(-3));
    EXPECT_TRUE(result["rows"].empty());
}

TEST_F(CaptureConversation, DepthLimitsTheLevelsDumped) {
    json result =
        walk({node("focus", "AXButton"), node("list", "AXList", rows(1))}, readerFor(1, 0));
    EXPECT_FALSE(result["rows"][0].contains("children"));
    platform::sim::reset();
    result = walk({node("focus", "AXButton"), node("list", "AXList", rows(1))}, readerFor(1, -1));
    EXPECT_FALSE(result["rows"][0].contains("children"));
}

TEST_F(CaptureConversation, NodesCarryOnlyNonEmptyStringsAndClasses) {
    capture::Reader reader = readerFor(2, 1);
    reader.skipClasses = {"reaction"};
    const json row =
        node("row", "AXGroup",
             {node("r", "AXButton", json::array(), {{"AXDOMClassList", {"reaction"}}})},
             {{"AXDOMClassList", {"reaction", "message"}},
              {"AXTitle", ""},
              {"AXValue", 42},
              {"AXDOMIdentifier", "m-1"}});
    const json roleless = element("roleless", {{"AXDescription", "x"}});
    const json result =
        walk({node("focus", "AXButton"), node("list", "AXList", {roleless, row})}, reader);
    const json& dumped = result["rows"][0];
    EXPECT_EQ(dumped,
              json({{"role", "AXGroup"}, {"id", "m-1"}, {"classes", {"reaction", "message"}}}));
    EXPECT_EQ(result["rows"][1], json({{"role", ""}, {"description", "x"}}));
}

TEST_F(CaptureConversation, DeadlineInsideARowDropsThatRowWhole) {
    // The third row from the end answers slowly; the budget runs out before its children.
    json list = rows(3);
    list[0]["latencyMs"] = 40;
    const json result =
        walk({node("focus", "AXButton"), node("list", "AXList", list)}, readerFor(3), 100);
    ASSERT_TRUE(result.contains("rows")) << result.dump();
    ASSERT_EQ(result["rows"].size(), 2U);
    EXPECT_EQ(result["rows"][1]["children"][0]["value"], "m2");
}

TEST_F(CaptureConversation, NoRowBeforeTheDeadlineIsShapeB) {
    json list = rows(1);
    list[0]["latencyMs"] = 40;
    const json result =
        walk({node("focus", "AXButton"), node("list", "AXList", list)}, readerFor(1), 100);
    EXPECT_EQ(result["missed"], "timedOut");
    EXPECT_TRUE(result["ms"].contains("dump"));
    EXPECT_FALSE(result.contains("rows"));
}

TEST_F(CaptureConversation, UserSearchTakesTheFirstMatchOnly) {
    capture::Reader reader = readerFor();
    reader.me = capture::Reader::Me{"AXButton", "me"};
    const json quiet = node("quiet", "AXButton", json::array(), {{"AXDOMClassList", {"me"}}});
    const json named = node("deeper", "AXGroup",
                            {node("named", "AXButton", json::array(),
                                  {{"AXDOMClassList", {"me"}}, {"AXTitle", "Ada"}})});
    json result = walk({node("focus", "AXButton"), node("list", "AXList", rows(1)), named}, reader);
    EXPECT_EQ(result["me"], "Ada");
    platform::sim::reset();
    result =
        walk({node("focus", "AXButton"), node("list", "AXList", rows(1)), quiet, named}, reader);
    EXPECT_EQ(result["me"], nullptr);
    EXPECT_TRUE(result["ms"].contains("me"));
}

TEST_F(CaptureConversation, TreeThatLoopsBackIsDumpedOnce) {
    json row = node("row", "AXGroup", json::array(),
                    {{"AXChildren", json::array({{{"element", "row"}}, {{"element", "leaf"}}})}});
    const json leaf = node("leaf", "AXStaticText", json::array(), {{"AXValue", "x"}});
    const json result =
        walk({node("focus", "AXButton"), node("list", "AXList", {row}), leaf}, readerFor(1, 30000));
    ASSERT_EQ(result["rows"].size(), 1U) << result.dump();
    EXPECT_EQ(result["rows"][0]["children"],
              json::array({{{"role", "AXStaticText"}, {"value", "x"}}}));
}

TEST_F(CaptureConversation, DumpDepthIsBoundedWhateverTheRequest) {
    // A chain 300 levels deep, told through AXChildren so the file itself stays flat.
    json store = json::array();
    for (int level = 1; level <= 300; ++level) {
        const json next = level < 300
                              ? json::array({{{"element", "c" + std::to_string(level + 1)}}})
                              : json::array();
        store.push_back(
            node("c" + std::to_string(level), "AXGroup", json::array(), {{"AXChildren", next}}));
    }
    const json list =
        node("list", "AXList", json::array(), {{"AXChildren", json::array({{{"element", "c1"}}})}});
    const json result = walk({node("focus", "AXButton"), list, node("store", "AXGroup", store)},
                             readerFor(1, 100000));
    ASSERT_EQ(result["rows"].size(), 1U) << result.dump().substr(0, 300);
    int levels = 0;
    for (const json* at = &result["rows"][0]; at->contains("children");
         at = &(*at)["children"][0]) {
        ++levels;
    }
    EXPECT_EQ(levels, 256);
}

TEST(CaptureConversationNames, MissedRawValues) {
    EXPECT_EQ(capture::rawValue(capture::Missed::noList), "noList");
    EXPECT_EQ(capture::rawValue(capture::Missed::timedOut), "timedOut");
}

}  // namespace
