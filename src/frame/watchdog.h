// The deadline watchdog: a thread that answers "timedOut" when the command's deadline passes or
// SIGTERM arrives, after putting back a pasteboard the command had borrowed.
#pragma once

#include <cstdint>
#include <string>

namespace frame {

// Arms the deadline, counted from now, and the termination handler. Called once, first thing.
void armDeadline(std::int64_t ms);

// Takes exitLock, restores a parked pasteboard (waiting out a copy still on its way) and emits
// the time-out reply; never returns.
[[noreturn]] void giveUp(const std::string& detail);

}  // namespace frame
