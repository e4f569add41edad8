// The process hooks on macOS: nothing to save before the reply, no way to be unusable, and no
// process of the backend's own.
#include "platform/process.h"

namespace platform {

void beforeExit() {}

void onUnusable(UnusableHandler handler) {
    (void)handler;
}

// This backend starts no process of its own.
void runBackendProcess(const std::string& word) {
    (void)word;
}

}  // namespace platform
