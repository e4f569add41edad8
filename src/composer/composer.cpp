// The composer walk and its two uses.
#include "composer/composer.h"

#include <algorithm>
#include <deque>

#include "ax/fingerprint.h"
#include "ax/poll.h"
#include "ax/primitives.h"
#include "frame/tunables.h"
#include "platform/core_foundation.h"

namespace composer {

namespace {

using platform::Element;

constexpr std::size_t ancestorChainLimit = 64;

// The anchor and up to 63 of its ancestors, nearest first.
std::vector<Element> ancestorChain(const std::optional<Element>& anchor) {
    std::vector<Element> chain;
    std::optional<Element> current = anchor;
    while (current) {
        chain.push_back(*current);
        std::optional<Element> parent = ax::axElement(ax::attribute(*current, "AXParent"));
        if (!parent || chain.size() == ancestorChainLimit) {
            break;
        }
        current = std::move(parent);
    }
    return chain;
}

std::optional<Element> focusedWindow(platform::Pid pid) {
    return ax::axElement(ax::attribute(ax::applicationElement(pid), "AXFocusedWindow"));
}

}  // namespace

std::string Composer::label() const {
    return ax::accessibleLabel(element);
}

std::optional<std::string> Composer::value() const {
    return ax::stringAttribute(element, "AXValue");
}

bool Composer::qualifies(const Element& element) {
    // The two string tests are cheap; the size read and the editability test come after them.
    const auto role = ax::stringAttribute(element, "AXRole");
    if (role != "AXTextArea" && role != "AXTextField") {
        return false;
    }
    const auto subrole = ax::stringAttribute(element, "AXSubrole");
    if (subrole == ax::secureRole || subrole == "AXSearchField") {
        return false;
    }
    const auto size =
        ax::axValue<ax::Size>(ax::attribute(element, "AXSize"), ax::WrappedKind::size);
    if (!size || !(size->width > 0) || !(size->height > 0)) {
        return false;
    }
    return ax::isEditable(element);
}

namespace {

struct Walk {
    std::vector<Composer::Candidate> found;
    bool cutShort = false;  // a budget ran out before the walk was done
};

enum class Until {
    nearest,  // the first ancestor whose part holds a field decides: stop there
    whole,    // every field of the window, for a look-up by fingerprint
};

// One walk outward from the anchor, as the list search climbs: the anchor's own subtree, then
// at each ancestor up to the root the part of its subtree not seen yet, breadth first. Every
// field met in one ancestor's part shares exactly that ancestor with the anchor, and none met
// later shares one as deep, so the nearest composer is decided by the first part that holds a
// field, and only once that part has been seen whole. (Breadth first from the root, a walk
// cut short by its budget had often met only a field far from the focus, a page's search box
// before the composer beside the focused message.) Depths count from the root. Without an
// anchor whose chain reaches the root, the walk is breadth first from the root, sharing 0.
Walk walk(const Element& root, const std::optional<Element>& anchor, Until until) {
    const std::vector<Element> chain = ancestorChain(anchor);
    const auto rootOnChain = std::find_if(chain.begin(), chain.end(), [&](const Element& link) {
        return platform::same(link, root);
    });
    const auto deadline = ax::deadlineAfter(ax::Clock::now(), frame::composerWalkMs);
    Walk result;
    std::int64_t visited = 0;
    const auto visit = [&] {
        if (visited >= frame::composerNodeLimit || ax::Clock::now() >= deadline) {
            result.cutShort = true;
            return false;
        }
        ++visited;
        return true;
    };
    // Breadth first below `from`, leaving out the child `seen`; never inside a composer.
    const auto below = [&](const Element& from, const std::optional<Element>& seen,
                           std::int64_t shared) {
        std::deque<Element> queue;
        for (Element& child : ax::children(from)) {
            if (!seen || !platform::same(child, *seen)) {
                queue.push_back(std::move(child));
            }
        }
        while (!queue.empty() && visit()) {
            Element element = std::move(queue.front());
            queue.pop_front();
            if (Composer::qualifies(element)) {
                result.found.push_back(Composer::Candidate{Composer{std::move(element)}, shared});
                continue;
            }
            for (Element& child : ax::children(element)) {
                queue.push_back(std::move(child));
            }
        }
    };
    if (rootOnChain == chain.end()) {
        if (!visit()) {
            return result;
        }
        if (Composer::qualifies(root)) {
            result.found.push_back(Composer::Candidate{Composer{root}, 0});
        } else {
            below(root, std::nullopt, 0);
        }
        return result;
    }
    const auto top = static_cast<std::size_t>(rootOnChain - chain.begin());
    const auto depthOf = [&](std::size_t link) { return static_cast<std::int64_t>(top - link); };
    // The chain first, from the root down: a link that is a composer itself is the nearest
    // candidate, and nothing inside it is walked.
    std::size_t nearest = 0;  // the nearest link whose part is walked
    for (std::size_t link = top + 1; link-- > 0;) {
        if (!visit()) {
            return result;
        }
        if (Composer::qualifies(chain[link])) {
            result.found.push_back(Composer::Candidate{Composer{chain[link]}, depthOf(link)});
            if (until == Until::nearest) {
                return result;
            }
            nearest = link + 1;
            break;
        }
    }
    for (std::size_t link = nearest; link <= top; ++link) {
        below(chain[link], link > 0 ? std::optional<Element>(chain[link - 1]) : std::nullopt,
              depthOf(link));
        if (result.cutShort || (until == Until::nearest && !result.found.empty())) {
            return result;
        }
    }
    return result;
}

}  // namespace

std::vector<Composer::Candidate> Composer::candidates(const Element& in,
                                                      const std::optional<Element>& near) {
    return walk(in, near, Until::whole).found;
}

std::optional<Composer> Composer::near(const ax::Focus& focus, platform::Pid pid) {
    if (focus.secure || focus.editable) {
        return std::nullopt;
    }
    std::optional<Element> window = ax::axElement(ax::attribute(focus.element, "AXWindow"));
    if (!window) {
        window = focusedWindow(pid);
    }
    if (!window) {
        return std::nullopt;
    }
    // Every field the walk stopped at shares the same ancestor with the focus: one is the
    // composer, two or more tie. A walk cut short has not seen all of them: it names none
    // rather than one the whole walk would not have named.
    Walk walked = walk(*window, focus.element, Until::nearest);
    if (walked.cutShort || walked.found.size() != 1) {
        return std::nullopt;
    }
    return std::move(walked.found.front().composer);
}

std::optional<Composer> Composer::find(const std::string& fingerprint, platform::Pid pid) {
    const std::optional<Element> window = focusedWindow(pid);
    if (!window) {
        return std::nullopt;
    }
    // Walked as capture walked when it named the composer, outward from the focus: from the
    // window's top, a composer deep in a large page could lie beyond the budget, and one that
    // capture named would not be found again.
    const std::optional<Element> focused =
        ax::axElement(ax::attribute(ax::applicationElement(pid), "AXFocusedUIElement"));
    for (const Candidate& candidate : candidates(*window, focused)) {
        if (ax::fingerprint(candidate.composer.element) == fingerprint) {
            return candidate.composer;
        }
    }
    return std::nullopt;
}

}  // namespace composer
