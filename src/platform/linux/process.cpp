// The process hooks on Linux: nothing to save before the reply; the services this backend
// lacks report through the frame's handler.
#include "platform/process.h"

#include <atomic>
#include <cstdlib>

#include "unusable.h"

namespace platform {

namespace {

std::atomic<UnusableHandler> handler{nullptr};

}  // namespace

void beforeExit() {}

void onUnusable(UnusableHandler given) {
    handler = given;
}

namespace atspi {

void unusable(const std::string& detail) {
    if (const UnusableHandler report = handler.load()) {
        report(detail);
    }
    std::abort();  // the handler never returns; without one there is nobody to tell
}

}  // namespace atspi

}  // namespace platform
