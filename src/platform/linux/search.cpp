// Tree searches over the bus. The walk without Collection is bounded twice: by the number of
// objects and by one messaging time-out for the whole walk, so a slow application cannot make
// a few thousand slow calls out of one attribute read.
#include "search.h"

#include <algorithm>
#include <atspi/atspi-constants.h>
#include <chrono>
#include <deque>

#include "roles.h"

namespace platform::atspi {

namespace {

constexpr int walkLimit = 2000;
constexpr int ancestorLimit = 64;

Got<Ref> walkForFocus(const Target& root) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(root.timeoutMs);
    std::deque<Ref> queue{root.ref};
    for (int visited = 0; !queue.empty() && visited < walkLimit; ++visited) {
        if (Clock::now() >= deadline) {
            return Got<Ref>::failed(AXError::cannotComplete);
        }
        // Each call gets what is left of the walk's time, so the walk ends within it.
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const Target at{queue.front(),
                        static_cast<int>(std::clamp<long long>(left, 1, root.timeoutMs))};
        queue.pop_front();
        const auto state = states(at);
        if (!state.ok()) {
            if (visited == 0 || state.error == AXError::cannotComplete) {
                return Got<Ref>::failed(state.error);
            }
            continue;  // an object that went away while walking
        }
        if (has(*state.value, ATSPI_STATE_FOCUSED)) {
            return Got<Ref>::of(at.ref);
        }
        // Hidden subtrees hold no keyboard focus; the root itself is never "showing".
        if (visited > 0 && !has(*state.value, ATSPI_STATE_SHOWING)) {
            continue;
        }
        if (const auto below = children(at); below.ok()) {
            queue.insert(queue.end(), below.value->begin(), below.value->end());
        }
    }
    return Got<Ref>::failed(AXError::noValue);
}

}  // namespace

Got<Ref> focusedObject(const Target& root) {
    const Reply reply = matchStates(root.ref, 1u << ATSPI_STATE_FOCUSED, 0, 1, root.timeoutMs);
    if (!reply.ok()) {
        return errorOf(reply) == AXError::attributeUnsupported ? walkForFocus(root)
                                                               : Got<Ref>::failed(errorOf(reply));
    }
    const auto found = readRefs(reply);
    if (!found) {
        return Got<Ref>::failed(AXError::failure);
    }
    if (found->empty()) {
        return Got<Ref>::failed(AXError::noValue);
    }
    return Got<Ref>::of(found->front());
}

Got<Ref> activeWindow(const Target& root) {
    const auto windows = children(root);
    if (!windows.ok()) {
        return Got<Ref>::failed(windows.error);
    }
    for (const Ref& window : *windows.value) {
        const auto state = states(Target{window, root.timeoutMs});
        if (state.ok() && has(*state.value, ATSPI_STATE_ACTIVE)) {
            return Got<Ref>::of(window);
        }
        if (state.error == AXError::cannotComplete) {
            return Got<Ref>::failed(state.error);  // one time-out per read, not one per window
        }
    }
    return Got<Ref>::failed(AXError::noValue);
}

Got<Ref> windowOf(const Target& at) {
    Target current = at;
    for (int step = 0; step < ancestorLimit; ++step) {
        const auto up = parent(current);
        if (!up.ok()) {
            return Got<Ref>::failed(up.error);
        }
        if (!*up.value) {
            return Got<Ref>::failed(AXError::noValue);
        }
        current = Target{**up.value, at.timeoutMs};
        const Reply reply = call(current.ref, accessibleInterface, "GetRole", {}, at.timeoutMs);
        if (!reply.ok()) {
            return Got<Ref>::failed(errorOf(reply));
        }
        if (const auto number = readUint32(reply); number && isWindowRole(*number)) {
            return Got<Ref>::of(current.ref);
        }
    }
    return Got<Ref>::failed(AXError::noValue);
}

}  // namespace platform::atspi
