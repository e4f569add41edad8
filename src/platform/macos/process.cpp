// The process hooks on macOS: nothing to save before the reply, and no way to be unusable.
#include "platform/process.h"

namespace platform {

void beforeExit() {}

void onUnusable(UnusableHandler handler) {
    (void)handler;
}

}  // namespace platform
