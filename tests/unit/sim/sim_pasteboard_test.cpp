// The general pasteboard: change counts, items that stop yielding data once it changes, the
// writes a borrowing makes, and the record of who did what.
#include "platform/pasteboard.h"
#include "sim_support.h"

namespace simtest {
namespace {

using platform::Bytes;

Bytes bytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

class SimPasteboard : public SimTest {
  protected:
    static json desktop() {
        return {{"pasteboard",
                 {{"changeCount", 40},
                  {"items",
                   {{{{"type", platform::plainTextType}, {"text", "first"}},
                     {{"type", "public.png"}, {"base64", "/w=="}},
                     {{"type", "com.example.lazy"}, {"data", nullptr}}},
                    {{{"type", platform::plainTextType}, {"text", "second"}}}}}}},
                {"apps", json::array()}};
    }
    void SetUp() override { use(desktop()); }
    platform::Pasteboard board = platform::generalPasteboard();
};

TEST_F(SimPasteboard, ItemsListTypesInOrderAndYieldTheirData) {
    const auto items = platform::pasteboardItems(board);
    ASSERT_TRUE(items.has_value());
    ASSERT_EQ(items->size(), 2u);
    EXPECT_EQ(
        platform::types((*items)[0]),
        (std::vector<std::string>{platform::plainTextType, "public.png", "com.example.lazy"}));
    EXPECT_EQ(platform::dataForType((*items)[0], "public.png"), Bytes("\xFF"));
    EXPECT_FALSE(platform::dataForType((*items)[0], "com.example.lazy").has_value());
    EXPECT_FALSE(platform::dataForType((*items)[0], "public.tiff").has_value());
    EXPECT_EQ(platform::stringForType(board, platform::plainTextType), "first");
    EXPECT_EQ(platform::changeCount(board), 40);
}

TEST_F(SimPasteboard, ListedItemsGoStaleOnceTheCountMoves) {
    const auto items = platform::pasteboardItems(board);
    ASSERT_EQ(items->size(), 2u);
    EXPECT_EQ(platform::clearContents(board), 41);
    EXPECT_TRUE(platform::types((*items)[0]).empty());
    EXPECT_FALSE(platform::dataForType((*items)[1], platform::plainTextType).has_value());
    // Even a write that puts identical items back does not revive them.
    platform::setString(board, "first", platform::plainTextType);
    EXPECT_TRUE(platform::types((*items)[0]).empty());
}

TEST_F(SimPasteboard, BorrowingWritesMoveTheCountOnce) {
    platform::clearContents(board);
    platform::setString(board, "paste me", platform::plainTextType);
    platform::setString(board, "<b>paste me</b>", "public.html");
    EXPECT_EQ(platform::changeCount(board), 41);
    const auto items = platform::pasteboardItems(board);
    ASSERT_EQ(items->size(), 1u);
    EXPECT_EQ(platform::types(items->front()),
              (std::vector<std::string>{platform::plainTextType, "public.html"}));
    EXPECT_EQ(platform::stringForType(board, platform::plainTextType), "paste me");
}

TEST_F(SimPasteboard, RestoringWritesNewItemsInOrder) {
    const auto first = platform::newPasteboardItem();
    EXPECT_TRUE(platform::setData(first, bytes("a"), platform::plainTextType));
    EXPECT_TRUE(platform::setData(first, bytes("b"), platform::plainTextType));  // replaces
    const auto empty = platform::newPasteboardItem();
    const auto listed = platform::pasteboardItems(board)->front();
    EXPECT_FALSE(platform::setData(listed, bytes("x"), "public.html"));
    platform::clearContents(board);
    EXPECT_TRUE(platform::writeObjects(board, {first, empty}));
    EXPECT_EQ(platform::changeCount(board), 41);
    const auto items = platform::pasteboardItems(board);
    ASSERT_EQ(items->size(), 2u);
    EXPECT_EQ(platform::dataForType((*items)[0], platform::plainTextType), bytes("b"));
    EXPECT_TRUE(platform::types((*items)[1]).empty());
}

TEST_F(SimPasteboard, TextIsMadeValidUtf8) {
    platform::clearContents(board);
    const auto item = platform::newPasteboardItem();
    platform::setData(item, Bytes("ok\xFF"), platform::plainTextType);
    platform::writeObjects(board, {item});
    EXPECT_EQ(platform::stringForType(board, platform::plainTextType), "ok\xEF\xBF\xBD");
}

TEST_F(SimPasteboard, SomebodyElsesWriteAfterTheHelpersIsVisible) {
    json d = desktop();
    d["timeline"] = {
        {{"after", "pasteboardWrite"},
         {"delayMs", 100},
         {"pasteboard", {{"items", {{{{"type", "public.rtf"}, {"text", "{\\rtf1}"}}}}}}}}};
    use(d);
    const std::int64_t ours = platform::clearContents(board);
    platform::setString(board, "ours", platform::plainTextType);
    platform::sim::settle(1s);
    EXPECT_EQ(platform::changeCount(board), ours + 1);
    EXPECT_FALSE(platform::stringForType(board, platform::plainTextType).has_value());
    const json log = platform::sim::state()["lastRun"]["pasteboard"];
    std::vector<std::string> seen;
    for (const auto& op : log) {
        seen.push_back(op["op"].get<std::string>() + "/" + op["by"].get<std::string>());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"clearContents/helper", "setString/helper",
                                              "clearContents/timeline", "writeObjects/timeline",
                                              "changeCount/helper", "stringForType/helper"}));
}

TEST_F(SimPasteboard, WritesRecordTheTypesOfEveryItem) {
    platform::clearContents(board);
    platform::setString(board, "x", platform::plainTextType);
    const auto item = platform::newPasteboardItem();
    platform::setData(item, bytes("x"), platform::plainTextType);
    platform::setData(item, {}, "org.nspasteboard.TransientType");
    platform::writeObjects(board, {item, platform::newPasteboardItem()});
    const json log = platform::sim::state()["lastRun"]["pasteboard"];
    ASSERT_EQ(log.size(), 3u);
    EXPECT_FALSE(log[0].contains("types"));
    EXPECT_EQ(log[1]["types"], json({{platform::plainTextType}}));
    EXPECT_EQ(log[2]["types"],
              json({{platform::plainTextType, "org.nspasteboard.TransientType"}, json::array()}));
}

TEST_F(SimPasteboard, HelperWritesAreRefusedOnceSomebodyElseTookThePasteboard) {
    // The helper's writes take 100 ms to land; somebody else writes right after its clear.
    const json theirs = {{{{"type", "public.rtf"}, {"text", "{\\rtf1}"}}}};
    json d = desktop();
    d["pasteboard"]["writeLatencyMs"] = 100;
    d["timeline"] = {
        {{"after", "pasteboardWrite"}, {"delayMs", 0}, {"pasteboard", {{"items", theirs}}}}};
    use(d);
    const std::int64_t ours = platform::clearContents(board);
    EXPECT_FALSE(platform::setString(board, "ours", platform::plainTextType));
    const auto item = platform::newPasteboardItem();
    platform::setData(item, bytes("ours"), platform::plainTextType);
    EXPECT_FALSE(platform::writeObjects(board, {item}));
    EXPECT_EQ(platform::changeCount(board), ours + 1);
    json state = platform::sim::state();
    EXPECT_EQ(state["pasteboard"]["items"], theirs);
    EXPECT_EQ(state["pasteboard"]["writeLatencyMs"], 100);
    json refused = json::array();
    for (const auto& op : state["lastRun"]["pasteboard"]) {
        if (op.value("refused", false)) {
            refused.push_back(op["op"]);
        }
    }
    EXPECT_EQ(refused, json({"setString", "writeObjects"}));
    // Once the helper clears again, the pasteboard is its own and its writes land.
    platform::clearContents(board);
    EXPECT_TRUE(platform::writeObjects(board, {item}));
    EXPECT_EQ(platform::stringForType(board, platform::plainTextType), "ours");
}

}  // namespace
}  // namespace simtest
