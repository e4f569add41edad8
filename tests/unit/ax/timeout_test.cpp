// Messaging time-outs: every handle the primitives hand out carries the helper's 0.5 s, so a
// slow application costs at most that per call, where a fresh handle would wait the default.
#include <gtest/gtest.h>

#include "ax/primitives.h"
#include "frame/tunables.h"
#include "unit/ax/ax_support.h"

namespace {

using simtest::app;
using simtest::element;
using simtest::json;

class AxTimeouts : public simtest::SimTest {
  protected:
    void SetUp() override {
        // 700 ms answers: slower than the helper's 0.5 s, quicker than the default 6 s.
        const json slow =
            element("slow", {{"AXRole", "AXTextArea"}, {"AXValue", "late"}}, {{"latencyMs", 700}});
        use({{"frontmost", 20},
             {"apps",
              {app(20, element("root", {{"AXRole", "AXApplication"}}, {{"children", {slow}}}),
                   {{"focused", "slow"}})}}});
    }
};

TEST_F(AxTimeouts, FocusedElementFromTheApplicationGivesUpAfterHalfASecond) {
    const platform::Element app = ax::applicationElement(20);
    const auto focused = ax::axElement(ax::attribute(app, "AXFocusedUIElement"));
    ASSERT_TRUE(focused);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ax::stringAttribute(*focused, "AXValue"));
    const double took = simtest::elapsedMs(start);
    EXPECT_GE(took, 400);
    EXPECT_LT(took, 690);  // it did not wait for the answer
}

TEST_F(AxTimeouts, AHandleWithoutTheHelpersTimeOutWaitsForTheAnswer) {
    // The same element through a raw value, skipping axElement: the default time-out lets the
    // 700 ms call finish. This is the stall the helper's time-out prevents.
    const platform::Element app = ax::applicationElement(20);
    const platform::AttributeRead read = platform::copyAttributeValue(app, "AXFocusedUIElement");
    const auto& raw = std::get<platform::Element>(read.value->data);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(simtest::text(platform::copyAttributeValue(raw, "AXValue")), "late");
    EXPECT_GE(simtest::elapsedMs(start), 650);
}

TEST_F(AxTimeouts, ChildrenCarryTheTimeOut) {
    const platform::Element app = ax::applicationElement(20);
    const std::vector<platform::Element> kids = ax::children(app);
    ASSERT_EQ(kids.size(), 1U);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ax::attribute(kids[0], "AXRole"));
    EXPECT_LT(simtest::elapsedMs(start), 690);
}

}  // namespace
