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
    int depth = 0;
};

// Toolkits leave FOCUSED on objects the focus has moved through: a panel above the paragraph
// being edited (LibreOffice), a viewport below the field and a tab beside it (Qt), an object of
// a page no longer shown (Chromium). The one the user types in can take the focus and is shown;
// of several alike, the deepest (one inside another), and of those the last in tree order.
Got<Ref> typedIn(const std::vector<Focused>& found, int shownState) {
    if (found.empty()) {
        return Got<Ref>::failed(AXError::noValue);
    }
    const auto rank = [&](const Focused& f) {
        return std::pair{
            (has(f.states, ATSPI_STATE_FOCUSABLE) ? 2 : 0) + (has(f.states, shownState) ? 1 : 0),
            f.depth};
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

bool isTab(const Target& at) {
    const Reply reply = call(at.ref, accessibleInterface, "GetRole", {}, at.timeoutMs);
    return readUint32(reply) == static_cast<std::uint32_t>(ATSPI_ROLE_PAGE_TAB);
}

// Every shown object is looked at: a stale focus can come before the real one in any order. A
// current tab whose tab bar has not the focus is no focus at all where the toolkit marks it
// FOCUSED anyway.
Got<Ref> walkForFocus(const Target& root, const Toolkit& toolkit) {
    const int shown = shownStateOf(toolkit);
    const auto deadline = Clock::now() + std::chrono::milliseconds(root.timeoutMs);
    struct Entry {
        Ref ref;
        int depth = 0;
        bool parentFocused = false;
    };
    std::deque<Entry> queue{{root.ref, 0, false}};
    std::vector<Focused> found;
    for (int visited = 0; !queue.empty() && visited < walkLimit; ++visited) {
        if (Clock::now() >= deadline) {
            if (!found.empty()) {
                break;  // what was found stands; only the rest of the search was cut short
            }
            return Got<Ref>::failed(AXError::cannotComplete);
        }
        // Each call gets what is left of the walk's time, so the walk ends within it.
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const Entry entry = queue.front();
        const Target at{entry.ref,
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
        const bool focused = has(*state.value, ATSPI_STATE_FOCUSED);
        if (focused && !(toolkit.currentTabFocused && !entry.parentFocused && isTab(at))) {
            found.push_back(Focused{at.ref, *state.value, entry.depth});
        }
        if (const auto below = children(at); below.ok()) {
            for (const Ref& child : *below.value) {
                queue.push_back(Entry{child, entry.depth + 1, focused});
            }
        }
    }
    return typedIn(found, shown);
}

// How many ancestors an object has below the application, up to the limit.
int depthOf(const Target& at) {
    Target current = at;
    for (int depth = 0; depth < ancestorLimit; ++depth) {
        const auto up = parent(current);
        if (!up.ok() || !*up.value) {
            return depth;
        }
        current = Target{**up.value, at.timeoutMs};
    }
    return ancestorLimit;
}

Got<Ref> collectFocused(const Target& root, const Toolkit& toolkit, const std::vector<Ref>& refs) {
    std::vector<Focused> found;
    for (const Ref& ref : refs) {
        const auto state = states(Target{ref, root.timeoutMs});
        if (state.ok()) {
            found.push_back(Focused{ref, *state.value, 0});
        } else if (state.error == AXError::cannotComplete) {
            return Got<Ref>::failed(state.error);  // one time-out per read, not one per object
        }
    }
    // Depth only decides between objects that can both take the focus and are shown.
    const int shown = shownStateOf(toolkit);
    const auto alike = std::count_if(found.begin(), found.end(), [&](const Focused& f) {
        return has(f.states, ATSPI_STATE_FOCUSABLE) && has(f.states, shown);
    });
    if (alike > 1) {
        for (Focused& f : found) {
            f.depth = depthOf(Target{f.ref, root.timeoutMs});
        }
    }
    return typedIn(found, shown);
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
