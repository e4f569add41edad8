// The deadline watchdog: a thread that answers "timedOut" when the command's deadline passes or
// SIGTERM arrives, after putting back a pasteboard the command had borrowed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace frame {

// What the give-up path gives back before it answers (the pasteboard a command has borrowed),
// run holding exitLock on the watchdog's thread: the result of the restore it tried, if any.
using GiveBack = std::optional<bool> (*)();

// Arms the deadline, counted from now, and the termination handler. Called once, first thing.
void armDeadline(std::int64_t ms, GiveBack giveBack);

// Takes exitLock, gives back what the command borrowed and emits the time-out reply, with
// "restored" when a restore was tried; never returns.
[[noreturn]] void giveUp(const std::string& detail);

}  // namespace frame
