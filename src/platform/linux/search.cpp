// Tree searches over the bus. The walk without Collection is bounded twice: by the number of
// objects and by one messaging time-out for the whole walk, so a slow application cannot make
// a few thousand slow calls out of one attribute read.
#include "search.h"

#include <algorithm>
#include <atspi/atspi-constants.h>
#include <chrono>
#include <deque>

#include "roles.h"
#include "toolkit.h"

namespace platform::atspi {

namespace {

constexpr int walkLimit = 2000;
constexpr int ancestorLimit = 64;
// More FOCUSED objects than any toolkit leaves behind; the one the user types in is among them.
constexpr int focusedLimit = 32;

struct Focused {
    Ref ref;
    States states{};
};

// Toolkits leave FOCUSED on objects the focus has moved through: a panel above the paragraph
// being edited (LibreOffice), a viewport below the field (Qt), an object of a page no longer
// shown (Chromium). The one the user types in can take the focus and is shown; of several
// alike, the last in tree order, which is the deepest of those nested in one another.
Got<Ref> typedIn(const std::vector<Focused>& found, int shownState) {
    if (found.empty()) {
        return Got<Ref>::failed(AXError::noValue);
    }
    const auto rank = [&](const Focused& f) {
        return (has(f.states, ATSPI_STATE_FOCUSABLE) ? 2 : 0) + (has(f.states, shownState) ? 1 : 0);
    };
    const Focused* best = &found.front();
    for (const Focused& f : found) {
        if (rank(f) >= rank(*best)) {
            best = &f;
        }
    }
    return Got<Ref>::of(best->ref);
}

int shownStateOf(const Toolkit& toolkit) {
    return toolkit.showingOnWindowsOnly ? ATSPI_STATE_VISIBLE : ATSPI_STATE_SHOWING;
}

Got<Ref> walkForFocus(const Target& root, const Toolkit& toolkit) {
    const int shown = shownStateOf(toolkit);
    const auto deadline = Clock::now() + std::chrono::milliseconds(root.timeoutMs);
    std::deque<Ref> queue{root.ref};
    std::vector<Focused> found;
    for (int visited = 0; !queue.empty() && visited < walkLimit; ++visited) {
        if (Clock::now() >= deadline) {
            if (!found.empty()) {
                break;  // what was found stands; only the search below it was cut short
            }
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
                if (!found.empty()) {
                    break;
                }
                return Got<Ref>::failed(state.error);
            }
            continue;  // an object that went away while walking
        }
        // Hidden subtrees hold no keyboard focus; the root itself is never "showing".
        if (visited > 0 && !has(*state.value, shown)) {
            continue;
        }
        if (has(*state.value, ATSPI_STATE_FOCUSED)) {
            // Once an object that can take the focus has it, only below it can the one the user
            // types in be: the rest of the tree is dropped. A stale focus that cannot be taken
            // (Qt's tab, LibreOffice's panel) does not end the walk.
            if (has(*state.value, ATSPI_STATE_FOCUSABLE)) {
                queue.clear();
            }
            found.push_back(Focused{at.ref, *state.value});
        }
        if (const auto below = children(at); below.ok()) {
            queue.insert(queue.end(), below.value->begin(), below.value->end());
        }
    }
    return typedIn(found, shown);
}

Got<Ref> collectFocused(const Target& root, const Toolkit& toolkit, const std::vector<Ref>& refs) {
    std::vector<Focused> found;
    for (const Ref& ref : refs) {
        const auto state = states(Target{ref, root.timeoutMs});
        if (state.ok()) {
            found.push_back(Focused{ref, *state.value});
        } else if (state.error == AXError::cannotComplete) {
            return Got<Ref>::failed(state.error);  // one time-out per read, not one per object
        }
    }
    return typedIn(found, shownStateOf(toolkit));
}

}  // namespace

Got<Ref> focusedObject(const Target& root) {
    const Toolkit& toolkit = toolkitOf(root.ref.bus, root.timeoutMs);
    const Reply reply =
        matchStates(root.ref, 1u << ATSPI_STATE_FOCUSED, 0, focusedLimit, root.timeoutMs);
    if (!reply.ok()) {
        // Only a time-out says the application is slow; any other error says the root has no
        // Collection, however the toolkit puts it (Qt: an unknown object, GTK 4: an unknown
        // method), and the tree is walked instead.
        return reply.timedOut() ? Got<Ref>::failed(AXError::cannotComplete)
                                : walkForFocus(root, toolkit);
    }
    const auto found = readRefs(reply);
    if (!found) {
        return Got<Ref>::failed(AXError::failure);
    }
    return found->size() == 1 ? Got<Ref>::of(found->front())
                              : collectFocused(root, toolkit, *found);
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
