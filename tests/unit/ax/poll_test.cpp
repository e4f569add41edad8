// The polling wait and the elapsed-time measure, timed loosely.
#include "ax/poll.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "unit/sim/sim_support.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(AxPoll, ZeroOrNegativeTimeOutTestsOnce) {
    for (const std::int64_t timeout : {0, -1, -100000}) {
        int tests = 0;
        EXPECT_FALSE(ax::poll(timeout, [&] {
            ++tests;
            return false;
        }));
        EXPECT_EQ(tests, 1);
    }
}

TEST(AxPoll, ConditionThatHoldsAtOnceCostsNoWait) {
    const auto start = Clock::now();
    int tests = 0;
    EXPECT_TRUE(ax::poll(10000, [&] {
        ++tests;
        return true;
    }));
    EXPECT_EQ(tests, 1);
    EXPECT_LT(simtest::elapsedMs(start), 5000);  // far from the time-out, however loaded
}

TEST(AxPoll, StepsAreAtMostAPollIntervalAndNeverPassTheDeadline) {
    std::vector<Clock::time_point> tests;
    const auto start = Clock::now();
    EXPECT_FALSE(ax::poll(25, [&] {
        tests.push_back(Clock::now());
        return false;
    }));
    // Steps of 10, 10 and 5 ms: tests at once, after 10 and 20 ms and after the deadline. A
    // sleep never ends early, so there are no more; under load it may end late, so there may be
    // fewer: the first test and the one past the deadline are all that is sure.
    ASSERT_GE(tests.size(), 2U);
    EXPECT_LE(tests.size(), 4U);
    using Ms = std::chrono::duration<double, std::milli>;
    for (std::size_t i = 0; i + 1 < tests.size(); ++i) {
        EXPECT_LT(Ms(tests[i] - start).count(), 25) << i;
    }
    EXPECT_GE(Ms(tests.back() - start).count(), 25);
}

TEST(AxPoll, ConditionBecomingTrueIsSeenWithinAboutAStep) {
    const auto start = Clock::now();
    EXPECT_TRUE(ax::poll(5000, [&] { return simtest::elapsedMs(start) > 30; }));
    EXPECT_LT(simtest::elapsedMs(start), 1000);
}

TEST(AxPoll, HugeTimeOutsDoNotOverflowTheClock) {
    const auto start = Clock::now();
    EXPECT_GT(ax::deadlineAfter(start, std::numeric_limits<std::int64_t>::max()), start);
    EXPECT_LE(ax::deadlineAfter(start, std::numeric_limits<std::int64_t>::min()), start);
}

TEST(AxMilliseconds, RoundsToOneDecimal) {
    const double ms = ax::milliseconds(Clock::now() - std::chrono::milliseconds(250));
    EXPECT_GE(ms, 250.0);
    EXPECT_LT(ms, 400.0);
    EXPECT_DOUBLE_EQ(ms * 10, std::round(ms * 10));
}

}  // namespace
