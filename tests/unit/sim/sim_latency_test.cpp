// Slow elements against handle time-outs: a call waits out the latency, or fails when the
// handle's time-out ends first; the wait holds no lock, so other calls go on meanwhile.
#include <future>

#include "platform/sim/handles.h"
#include "sim_support.h"

namespace simtest {
namespace {

using platform::AXError;

class SimLatency : public SimTest {
  protected:
    void SetUp() override {
        json slow = element("slow", {{"AXRole", "AXTextArea"}, {"AXValue", "before"}},
                            {{"latencyMs", 700}});
        json fast = element("fast", {{"AXRole", "AXButton"}});
        use({{"apps",
              {app(5,
                   element("root", {{"AXRole", "AXApplication"}}, {{"children", {slow, fast}}}))}},
             {"timeline",
              {{{"atMs", 300},
                {"set",
                 {{"pid", 5}, {"element", "slow"}, {"attributes", {{"AXValue", "after"}}}}}}}}});
    }
};

TEST_F(SimLatency, ShortTimeOutFailsWhenItEnds) {
    const auto slow = at(5, "slow");
    ASSERT_EQ(platform::setMessagingTimeout(slow, 0.5f), AXError::success);
    const auto start = std::chrono::steady_clock::now();
    const auto read = platform::copyAttributeValue(slow, "AXValue");
    const double took = elapsedMs(start);
    EXPECT_EQ(read.error, AXError::cannotComplete);
    EXPECT_FALSE(read.value.has_value());
    EXPECT_GE(took, 450);
    EXPECT_EQ(platform::sim::state()["lastRun"]["calls"][0]["error"], "cannotComplete");
}

TEST_F(SimLatency, LongEnoughTimeOutAnswersFromTheStateAfterTheLatency) {
    const auto slow = at(5, "slow");
    ASSERT_EQ(platform::setMessagingTimeout(slow, 1.0f), AXError::success);
    const auto start = std::chrono::steady_clock::now();
    // The timeline changes the value while the call is under way; the answer is the new one.
    const auto read = platform::copyAttributeValue(slow, "AXValue");
    EXPECT_GE(elapsedMs(start), 650);
    EXPECT_EQ(text(read), "after");
}

TEST_F(SimLatency, TimeOutBelongsToTheHandleObject) {
    const auto slow = at(5, "slow");
    const auto shared = slow;
    ASSERT_EQ(platform::setMessagingTimeout(shared, 0.5f), AXError::success);
    // Another handle of the same element keeps the 6 s default; so does a fresh parent handle.
    const auto fresh = at(5, "slow");
    EXPECT_EQ(fresh.object->timeoutSeconds.load(), 6.0f);
    EXPECT_EQ(platform::copyAttributeValue(slow, "AXRole").error, AXError::cannotComplete);
}

TEST_F(SimLatency, OtherCallsGoOnWhileOneWaits) {
    const auto slow = at(5, "slow");
    platform::setMessagingTimeout(slow, 1.0f);
    auto pending = std::async(std::launch::async,
                              [&] { return platform::copyAttributeValue(slow, "AXRole"); });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(text(platform::copyAttributeValue(at(5, "fast"), "AXRole")), "AXButton");
    // The fast answer came while the slow call was still waiting out its latency.
    EXPECT_EQ(pending.wait_for(0s), std::future_status::timeout);
    EXPECT_EQ(text(pending.get()), "AXTextArea");
}

}  // namespace
}  // namespace simtest
