// The main thread's run loop on macOS: one bounded turn in the default mode, its limit turned
// into an interval at the moment of the call.
#include "platform/run_loop.h"

#include <chrono>

#include "apple_sdk.h"

namespace platform {

void runCurrentRunLoopUntil(Clock::time_point limit) {
    const Clock::duration left = limit - Clock::now();
    const double seconds =
        left > Clock::duration::zero() ? std::chrono::duration<double>(left).count() : 0.0;
    sdk::CFRunLoopRunInMode(sdk::kCFRunLoopDefaultMode, seconds, 1);
}

}  // namespace platform
