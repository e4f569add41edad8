// Foundation's run loop: serving the main thread's pending run-loop work while a wait goes on.
#pragma once

#include "platform/types.h"

namespace platform {

// CFRunLoopRunInMode(kCFRunLoopDefaultMode, ..., true), the C form of -[NSRunLoop
// runMode:beforeDate:]: runs pending work until the given time at the latest; may return at once.
void runCurrentRunLoopUntil(Clock::time_point limit);

}  // namespace platform
