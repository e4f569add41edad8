// Caret placement on its own, for what no command reaches: insert refuses a password field
// before it places a caret, so the rule that placement never reads such a field's value is
// checked here, where a focus can be handed to it directly.
#include "insert/targeting.h"

#include <gtest/gtest.h>

#include "support/desktop_json.h"
#include "unit/sim/sim_support.h"

namespace {

using desktopjson::element;
using desktopjson::json;

class InsertPlaceCaret : public simtest::SimTest {};

TEST_F(InsertPlaceCaret, APasswordFieldIsMeasuredByItsCharacterCountNeverByItsValue) {
    const json password = element("pw",
                                  {{"AXRole", "AXTextField"},
                                   {"AXSubrole", "AXSecureTextField"},
                                   {"AXValue", "hunter2\xF0\x9F\x98\x80"},
                                   {"AXNumberOfCharacters", 9}},
                                  {{"settable", {"AXSelectedTextRange"}}});
    use({{"frontmost", 82},
         {"apps",
          {desktopjson::app(
              82, element("root", {{"AXRole", "AXApplication"}}, {{"children", {password}}}),
              {{"focused", "pw"}})}}});
    const ax::Focus focus{at(82, "pw"), "AXSecureTextField", true, false};
    EXPECT_TRUE(insert::placeCaret(focus, insert::InsertMode::replaceField));
    const json state = platform::sim::state();
    const json& saved = state["apps"][0]["root"]["children"][0]["attributes"];
    EXPECT_EQ(saved["AXSelectedTextRange"], desktopjson::range(0, 9));
    for (const json& call : state["lastRun"]["calls"]) {
        EXPECT_FALSE(call["element"] == "pw" && call["attribute"] == "AXValue") << call.dump();
    }
}

}  // namespace
