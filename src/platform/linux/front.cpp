// The front application, from X11 first and from the accessibility bus after it.
#include "front.h"

#include "display.h"
#include "registry.h"
#include "search.h"

namespace platform::atspi {

std::optional<Pid> frontPid(int timeoutMs) {
    if (const auto pid = frontmostPid()) {
        return pid;
    }
    const auto roots = applicationRoots(timeoutMs);
    if (!roots) {
        return std::nullopt;
    }
    for (const Ref& root : *roots) {
        const auto window = activeWindow(Target{root, timeoutMs});
        if (window.ok()) {
            return pidOfBus(root.bus, timeoutMs);
        }
        if (window.error == AXError::cannotComplete) {
            continue;  // a stopped application is not the one in front of the user
        }
    }
    return std::nullopt;
}

}  // namespace platform::atspi
