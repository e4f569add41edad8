// One loaded desktop while it runs: its state under one lock, the run's record, and the thread
// on which the other applications react and the timeline fires.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/sim/model.h"
#include "platform/sim/run_log.h"
#include "platform/types.h"

namespace platform::sim {

/// Work for the desktop's own thread: an application's reaction, or a timeline event.
struct Task {
    enum class Kind { copy, paste, activation, timeline };
    Kind kind = Kind::copy;
    Pid pid = 0;
    std::size_t event = 0;
    double dueMs = 0;  // set when scheduled
};

class Live {
  public:
    /// `path` empty: a desktop that is never saved (the demo, or one a test installed).
    Live(Desktop desktop, std::string path, std::uint64_t generation);
    ~Live();
    Live(const Live&) = delete;
    Live& operator=(const Live&) = delete;

    /// Starts the desktop's thread; time 0 of the run is the moment of construction.
    void start();
    /// Stops and joins the thread; due work is dropped.
    void stop();

    /// Guards everything below, and every platform call's look at the state.
    std::mutex mutex;
    Desktop desktop;
    RunLog log;

    const std::uint64_t generation;
    const std::string path;
    const Clock::time_point startTime;

    double elapsedMs() const { return elapsedMs(Clock::now()); }
    double elapsedMs(Clock::time_point at) const {
        return std::chrono::duration<double, std::milli>(at - startTime).count();
    }
    /// Lock held: the time records carry; after the helper answered, that of the late reaction.
    double recordMs() const { return lateAtMs ? *lateAtMs : elapsedMs(); }
    /// Lock held: whether the work being done is a reaction carried out after the helper answered.
    bool afterExit() const { return lateAtMs.has_value(); }

    /// The change count the helper's last clearContents returned: the helper owns the pasteboard
    /// while the count still is this, and its writes are refused once somebody else took it.
    std::optional<std::int64_t> helperOwnership;

    /// Lock held: runs the task on the desktop's thread after the delay.
    void schedule(double delayMs, Task task);
    /// Lock held: the helper did this; the first time in the run sets off the "after" events.
    void helperDid(Trigger trigger);

    /// Waits, lock not held, until no work is due within `upTo`.
    void settle(std::chrono::milliseconds upTo);

    /// Lock held, once, as the helper answers: the reactions still due are carried out in due
    /// order, as though time ran on after the process had gone; then the desktop stands still.
    void carryOutLateReactions();

    /// Lock held: the desktop in its file format, with "lastRun".
    std::string serialize() const;

  private:
    void run();

    std::condition_variable wake;
    std::condition_variable ran;
    std::multimap<Clock::time_point, Task> queue;
    std::array<bool, triggerCount> triggered{};
    bool started = false;
    bool stopping = false;
    bool frozen = false;  // the run is over: nothing more is done
    std::thread thread;
    std::optional<double> lateAtMs;
};

/// A time in milliseconds on the clock, for delays that may be absurdly large.
Clock::duration clockOffset(double ms);

/// Lock held: the reaction or event, done on the desktop's thread; true when it asks for
/// SIGTERM, which the caller sends after letting go of the lock.
bool perform(Live& live, const Task& task);

/// Lock held: the helper asks for an application to come to the front, as the record says how;
/// recorded, and carried out after the application's activation delay unless it turns requests
/// of that kind down. False when there is no such running application.
bool requestActivation(Live& live, ActivationRecord request);

}  // namespace platform::sim
