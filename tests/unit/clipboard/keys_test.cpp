// Key codes on the user's layout, and the two events of a Command chord.
#include "clipboard/keys.h"

#include <gtest/gtest.h>

#include "unit/sim/sim_support.h"

namespace {

using simtest::json;

class ClipboardKeys : public simtest::SimTest {
  protected:
    void useLayouts(const json& layouts) { use({{"layouts", layouts}, {"apps", json::array()}}); }
};

TEST_F(ClipboardKeys, FindsTheKeyThatTypesTheLetterOnEachLayout) {
    struct Case {
        const char* layout;
        std::uint16_t c;
        std::uint16_t v;
    };
    // A layout whose shortcuts stay on the US keys is asked for the key of the Command chord.
    for (const Case& c : {Case{"us", 8, 9}, Case{"dvorak", 34, 47}, Case{"azerty", 8, 9},
                          Case{"qwertz", 8, 9}, Case{"dvorak-qwerty", 8, 9}}) {
        useLayouts({{"current", c.layout}, {"asciiCapable", "us"}});
        EXPECT_EQ(clipboard::keyCode("c", 99), c.c) << c.layout;
        EXPECT_EQ(clipboard::keyCode("v", 99), c.v) << c.layout;
        platform::sim::reset();
    }
    useLayouts({{"current", "azerty"}, {"asciiCapable", "us"}});
    EXPECT_EQ(clipboard::keyCode("a", 99), 12);  // a sits on the US Q key there
}

TEST_F(ClipboardKeys, FallsBackToTheAsciiCapableLayoutThenToTheFallback) {
    useLayouts({{"current", {{"keys", {{"1", "\xD0\xB6"}}}}}, {"asciiCapable", "dvorak"}});
    EXPECT_EQ(clipboard::keyCode("c", 8), 34);
    platform::sim::reset();
    useLayouts(
        {{"current", {{"keys", {{"1", "x"}}}}}, {"asciiCapable", {{"keys", json::object()}}}});
    EXPECT_EQ(clipboard::keyCode("c", 8), 8);
    platform::sim::reset();
    use({{"layouts", nullptr}, {"apps", json::array()}});
    EXPECT_EQ(clipboard::keyCode("v", 9), 9);
}

TEST_F(ClipboardKeys, CommandKeysOfACustomLayoutDecide) {
    useLayouts({{"current", {{"keys", {{"9", "k"}, {"47", "v"}}}, {"commandKeys", {{"47", "."}}}}},
                {"asciiCapable", "us"}});
    EXPECT_EQ(clipboard::keyCode("v", 99), 9);  // from the ASCII-capable layout: 47 is Command-.
}

TEST_F(ClipboardKeys, OnlyASingleUnitMatchesAndTheLowerKeyWins) {
    useLayouts({{"current", {{"keys", {{"3", "cc"}, {"40", "c"}, {"20", "c"}}}}}});
    EXPECT_EQ(clipboard::keyCode("c", 8), 20);
    EXPECT_EQ(clipboard::keyCode("", 8), 8);
}

TEST_F(ClipboardKeys, CommandChordIsKeyDownThenKeyUpWithTheCommandFlagAlone) {
    useLayouts({{"current", "us"}});
    clipboard::postCommand(9);
    const json events = platform::sim::state()["lastRun"]["events"];
    ASSERT_EQ(events.size(), 2U);
    EXPECT_EQ(events[0]["type"], "keyDown");
    EXPECT_EQ(events[1]["type"], "keyUp");
    for (const json& event : events) {
        EXPECT_EQ(event["keyCode"], 9);
        EXPECT_EQ(event["flags"], 0x100000);
        EXPECT_EQ(event["tap"], 0);
    }
}

}  // namespace
