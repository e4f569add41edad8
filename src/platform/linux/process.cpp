// The process hooks on Linux: before the reply, a clipboard the helper holds goes to its keeper
// or is let go; the services this backend lacks report through the frame's handler; the keeper
// is the one process of the backend's own.
#include "platform/process.h"

#include <atomic>
#include <cstdlib>

#include "clipboard.h"
#include "keeper.h"
#include "unusable.h"

namespace platform {

namespace {

std::atomic<UnusableHandler> handler{nullptr};

}  // namespace

void beforeExit() {
    x11::releaseClipboard();
}

void runBackendProcess(const std::string& word) {
    if (word == x11::keeperWord) {
        x11::keep();
    }
}

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
