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

struct Entry {
    Element element;
    std::int64_t depth = 0;
    std::int64_t shared = 0;
};

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

std::vector<Composer::Candidate> Composer::candidates(const Element& in,
                                                      const std::optional<Element>& near) {
    const std::vector<Element> chain = ancestorChain(near);
    const auto deadline = ax::deadlineAfter(ax::Clock::now(), frame::composerWalkMs);
    std::deque<Entry> queue{Entry{in, 0, 0}};
    std::vector<Candidate> result;
    for (std::int64_t visited = 0; !queue.empty(); ++visited) {
        if (visited >= frame::composerNodeLimit || ax::Clock::now() >= deadline) {
            break;
        }
        Entry entry = std::move(queue.front());
        queue.pop_front();
        const bool onChain = std::any_of(chain.begin(), chain.end(), [&](const Element& link) {
            return platform::same(entry.element, link);
        });
        if (onChain) {
            entry.shared = entry.depth;
        }
        if (qualifies(entry.element)) {
            result.push_back(Candidate{Composer{entry.element}, entry.shared});
            continue;
        }
        for (Element& child : ax::children(entry.element)) {
            queue.push_back(Entry{std::move(child), entry.depth + 1, entry.shared});
        }
    }
    return result;
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
    const std::vector<Candidate> found = candidates(*window, focus.element);
    if (found.empty()) {
        return std::nullopt;
    }
    const auto deepest = std::max_element(
        found.begin(), found.end(),
        [](const Candidate& a, const Candidate& b) { return a.shared < b.shared; });
    const auto ties = std::count_if(found.begin(), found.end(), [&](const Candidate& candidate) {
        return candidate.shared == deepest->shared;
    });
    return ties == 1 ? std::optional<Composer>(deepest->composer) : std::nullopt;
}

std::optional<Composer> Composer::find(const std::string& fingerprint, platform::Pid pid) {
    const std::optional<Element> window = focusedWindow(pid);
    if (!window) {
        return std::nullopt;
    }
    for (const Candidate& candidate : candidates(*window, std::nullopt)) {
        if (ax::fingerprint(candidate.composer.element) == fingerprint) {
            return candidate.composer;
        }
    }
    return std::nullopt;
}

}  // namespace composer
