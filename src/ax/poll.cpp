// Polling waits and elapsed-time measures.
#include "ax/poll.h"

#include <chrono>
#include <cmath>
#include <unistd.h>

#include "frame/tunables.h"
#include "platform/run_loop.h"

namespace ax {

Clock::time_point deadlineAfter(Clock::time_point start, std::int64_t ms) {
    using std::chrono::milliseconds;
    if (ms <= 0) {
        return start + milliseconds(ms < -1'000'000'000 ? -1'000'000'000 : ms);
    }
    const auto room = std::chrono::duration_cast<milliseconds>(Clock::time_point::max() - start);
    return ms >= room.count() ? Clock::time_point::max() : start + milliseconds(ms);
}

bool poll(std::int64_t timeoutMs, const std::function<bool()>& condition) {
    const Clock::time_point deadline = deadlineAfter(Clock::now(), timeoutMs);
    if (condition()) {
        return true;
    }
    const auto step = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(frame::pollInterval));
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        const Clock::time_point wake = deadline - now < step ? deadline : now + step;
        platform::runCurrentRunLoopUntil(wake);
        const auto rest =
            std::chrono::duration_cast<std::chrono::microseconds>(wake - Clock::now());
        if (rest.count() > 0) {
            ::usleep(static_cast<useconds_t>(rest.count()));
        }
        if (condition()) {
            return true;
        }
    }
}

double milliseconds(Clock::time_point start) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return std::round(seconds * 10000.0) / 10.0;
}

}  // namespace ax
