// The running desktop's scheduler: one thread that sleeps on a condition variable (so the lock
// is free while it waits) and does each due task under the lock, which is never held across a
// sleep.
#include "platform/sim/live.h"

#include <signal.h>
#include <unistd.h>
#include <vector>

#include "platform/sim/save.h"

namespace platform::sim {

Clock::duration clockOffset(double ms) {
    // A time too far off for the clock saturates (at about 30 years) rather than overflowing.
    constexpr double limit = 1e12;
    const double clamped = ms > 0 ? (ms < limit ? ms : limit) : 0;
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(clamped));
}

Live::Live(Desktop desktop, std::string path, std::uint64_t generation)
    : desktop(std::move(desktop)),
      generation(generation),
      path(std::move(path)),
      startTime(Clock::now()) {}

Live::~Live() {
    stop();
}

void Live::start() {
    std::lock_guard lock(mutex);
    if (started) {
        return;
    }
    started = true;
    for (std::size_t i = 0; i < desktop.timeline.size(); ++i) {
        const TimelineEvent& event = desktop.timeline[i];
        if (event.atMs) {
            queue.emplace(startTime + clockOffset(*event.atMs), Task{Task::Kind::timeline, 0, i});
        }
    }
    thread = std::thread([this] { run(); });
}

void Live::stop() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
        queue.clear();
    }
    wake.notify_all();
    ran.notify_all();
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) {
        thread.join();
    }
}

void Live::schedule(double delayMs, Task task) {
    if (stopping || frozen) {
        return;
    }
    const Clock::time_point due = Clock::now() + clockOffset(delayMs);
    task.dueMs = elapsedMs(due);
    queue.emplace(due, task);
    wake.notify_one();
}

void Live::helperDid(Trigger trigger) {
    auto& done = triggered[static_cast<std::size_t>(trigger)];
    if (done) {
        return;
    }
    done = true;
    for (std::size_t i = 0; i < desktop.timeline.size(); ++i) {
        const TimelineEvent& event = desktop.timeline[i];
        if (!event.atMs && event.after == trigger && !event.fired) {
            schedule(event.delayMs, Task{Task::Kind::timeline, 0, i});
        }
    }
}

void Live::run() {
    std::unique_lock lock(mutex);
    while (!stopping) {
        if (queue.empty() || frozen) {
            wake.wait(lock);
            continue;
        }
        const auto due = queue.begin()->first;
        if (due > Clock::now()) {
            wake.wait_until(lock, due);
            continue;
        }
        const Task task = queue.begin()->second;
        queue.erase(queue.begin());
        const bool signal = perform(*this, task);
        ran.notify_all();
        if (signal) {
            lock.unlock();
            ::kill(::getpid(), SIGTERM);
            lock.lock();
        }
    }
}

void Live::settle(std::chrono::milliseconds upTo) {
    std::unique_lock lock(mutex);
    // A bound of its own, so that a test cannot hang here whatever the desktop does.
    const auto giveUp = Clock::now() + 2 * upTo + std::chrono::seconds(10);
    while (!stopping && !frozen && started && !queue.empty() &&
           queue.begin()->first <= Clock::now() + upTo && Clock::now() < giveUp) {
        ran.wait_for(lock, std::chrono::milliseconds(5));
    }
}

void Live::carryOutLateReactions() {
    if (stopping || frozen) {
        return;
    }
    std::vector<Task> late;
    for (auto it = queue.begin(); it != queue.end();) {
        if (it->second.kind == Task::Kind::timeline) {
            ++it;  // the timeline keeps its rule: what has not fired is saved as it stands
        } else {
            late.push_back(it->second);
            it = queue.erase(it);
        }
    }
    const double now = elapsedMs();
    for (const Task& task : late) {
        lateAtMs = task.dueMs > now ? task.dueMs : now;
        perform(*this, task);
    }
    lateAtMs.reset();
    // Nothing happens after the answer: the saved file is the desktop's last word. The thread
    // stays, asleep, until the process ends (a thread that ended unjoined would be a leak).
    frozen = true;
}

std::string Live::serialize() const {
    return saveDesktop(desktop, log);
}

}  // namespace platform::sim
