// Pasteboard snapshots: every readable type in order, empty items kept in place, and a restore
// that never overwrites somebody else's newer write.
#include "clipboard/snapshot.h"

#include <gtest/gtest.h>

#include "unit/sim/sim_support.h"

namespace {

using simtest::json;

json pasteboardState() {
    return platform::sim::state()["pasteboard"];
}

class ClipboardSnapshot : public simtest::SimTest {
  protected:
    void usePasteboard(const json& items, int changeCount = 5) {
        use({{"pasteboard", {{"changeCount", changeCount}, {"items", items}}},
             {"apps", json::array()}});
    }
};

TEST_F(ClipboardSnapshot, KeepsTypesInOrderAndSkipsOnesWithoutData) {
    usePasteboard(
        json::array({json::array({{{"type", "public.utf8-plain-text"}, {"text", "hi"}},
                                  {{"type", "com.example.lazy"}, {"data", nullptr}},
                                  {{"type", "public.png"}, {"base64", "iVBORw0KGgo="}}})}));
    const auto snapshot = clipboard::takeSnapshot(platform::generalPasteboard());
    ASSERT_EQ(snapshot.items.size(), 1U);
    ASSERT_EQ(snapshot.items[0].size(), 2U);
    EXPECT_EQ(snapshot.items[0][0].first, "public.utf8-plain-text");
    EXPECT_EQ(snapshot.items[0][1].first, "public.png");
    EXPECT_EQ(snapshot.items[0][1].second.size(), 8U);
}

TEST_F(ClipboardSnapshot, RestorePutsBackEveryItemByteForByte) {
    const json items =
        json::array({json::array({{{"type", "public.utf8-plain-text"}, {"text", "first"}},
                                  {{"type", "public.png"}, {"base64", "AAECA/8="}}}),
                     json::array({{{"type", "com.example.lazy"}, {"data", nullptr}}}),
                     json::array({{{"type", "public.html"}, {"text", "<b>x</b>"}}})});
    usePasteboard(items);
    const platform::Pasteboard pasteboard = platform::generalPasteboard();
    const auto snapshot = clipboard::takeSnapshot(pasteboard);
    platform::clearContents(pasteboard);
    platform::setString(pasteboard, "borrowed", platform::plainTextType);
    const std::int64_t count = platform::changeCount(pasteboard);

    EXPECT_TRUE(clipboard::restore(snapshot, pasteboard, count));
    const json after = pasteboardState()["items"];
    ASSERT_EQ(after.size(), 3U);  // the item whose only type was lazy stays, empty, in its place
    EXPECT_EQ(after[0], items[0]);
    EXPECT_TRUE(after[1].empty());
    EXPECT_EQ(after[2], items[2]);
}

TEST_F(ClipboardSnapshot, PasteboardThatRefusesATypelessItemStillGetsTheOthersBack) {
    const json items =
        json::array({json::array({{{"type", "public.utf8-plain-text"}, {"text", "first"}}}),
                     json::array({{{"type", "com.example.lazy"}, {"data", nullptr}}}),
                     json::array({{{"type", "public.html"}, {"text", "<b>x</b>"}}})});
    use({{"pasteboard", {{"changeCount", 5}, {"items", items}, {"refusesTypelessItems", true}}},
         {"apps", json::array()}});
    const platform::Pasteboard pasteboard = platform::generalPasteboard();
    const auto snapshot = clipboard::takeSnapshot(pasteboard);
    const std::int64_t count = platform::clearContents(pasteboard);
    EXPECT_TRUE(clipboard::restore(snapshot, pasteboard, count));
    EXPECT_EQ(pasteboardState()["items"], json::array({items[0], items[2]}));
}

TEST_F(ClipboardSnapshot, RestoreLeavesANewerWriteAlone) {
    usePasteboard(
        json::array({json::array({{{"type", "public.utf8-plain-text"}, {"text", "u"}}})}));
    const platform::Pasteboard pasteboard = platform::generalPasteboard();
    const auto snapshot = clipboard::takeSnapshot(pasteboard);
    const std::int64_t count = platform::changeCount(pasteboard);
    for (const std::int64_t other : {count + 1, count - 1}) {
        EXPECT_FALSE(clipboard::restore(snapshot, pasteboard, other));
        EXPECT_EQ(platform::changeCount(pasteboard), count);
    }
}

TEST_F(ClipboardSnapshot, EmptyPasteboardRestoresToEmpty) {
    usePasteboard(json::array());
    const platform::Pasteboard pasteboard = platform::generalPasteboard();
    const auto snapshot = clipboard::takeSnapshot(pasteboard);
    EXPECT_TRUE(snapshot.items.empty());
    platform::clearContents(pasteboard);
    platform::setString(pasteboard, "x", platform::plainTextType);
    EXPECT_TRUE(clipboard::restore(snapshot, pasteboard, platform::changeCount(pasteboard)));
    EXPECT_TRUE(pasteboardState()["items"].empty());
    const json state = platform::sim::state();
    for (const json& op : state["lastRun"]["pasteboard"]) {
        EXPECT_NE(op["op"], "writeObjects");  // nothing to write
    }
}

}  // namespace
