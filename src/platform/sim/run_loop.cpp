// The run loop on the simulated desktop: the applications' work happens on the desktop's own
// thread, so the helper's thread has nothing of its own to serve.
#include "platform/run_loop.h"

#include "platform/sim/runtime.h"

namespace platform {

void runCurrentRunLoopUntil(Clock::time_point limit) {
    (void)limit;
    sim::acquire();
}

}  // namespace platform
