// Whether a process still exists, asked of the kernel: NSRunningApplication's terminated flag
// is only refreshed while the main run loop turns in a common mode, which the helper's does not.
#pragma once

#include "platform/types.h"

namespace platform::macos {

/// kill(pid, 0): true while the process exists, also when it belongs to somebody else.
bool processExists(Pid pid);

}  // namespace platform::macos
