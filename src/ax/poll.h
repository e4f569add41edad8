// The bounded polling wait that every wait in the program uses, and elapsed-time reports.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/types.h"

namespace ax {

using platform::Clock;

// Now plus ms, saturating instead of overflowing the clock for absurd budgets.
Clock::time_point deadlineAfter(Clock::time_point start, std::int64_t ms);

// Tests the condition first, then after every step of at most pollInterval, each step running
// the run loop and sleeping the rest, never past the deadline. True when the condition held.
bool poll(std::int64_t timeoutMs, const std::function<bool()>& condition);

// Milliseconds since start, rounded half away from zero to one decimal.
double milliseconds(Clock::time_point start);

}  // namespace ax
