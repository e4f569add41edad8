// Nothing of this backend runs on the main thread's behalf, so a turn of the run loop is a wait.
#include "platform/run_loop.h"

#include <thread>

namespace platform {

void runCurrentRunLoopUntil(Clock::time_point limit) {
    std::this_thread::sleep_until(limit);
}

}  // namespace platform
