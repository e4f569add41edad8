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

namespace {

// The page the anchor is in: the outermost web area on its chain below the window. A browser's
// own fields (its address bar) are outside it.
std::optional<std::size_t> documentOnChain(const std::vector<Element>& chain, const Element& in) {
    std::optional<std::size_t> document;
    for (std::size_t link = 0; link < chain.size(); ++link) {
        if (platform::same(chain[link], in)) {
            break;
        }
        if (ax::stringAttribute(chain[link], "AXRole") == "AXWebArea") {
            document = link;
        }
    }
    return document;
}

// One walk over the window: the anchor's page first, then the rest of the window, both within
// one node budget and one deadline. Depths count from the window either way.
struct Walk {
    std::vector<Composer::Candidate> found;
    std::size_t inDocument = 0;  // the first so many candidates lie in the anchor's page
    bool cutShort = false;
};

Walk walk(const Element& in, const std::optional<Element>& near) {
    const std::vector<Element> chain = ancestorChain(near);
    std::optional<Element> document;
    std::int64_t documentDepth = 0;
    if (near) {
        if (const auto link = documentOnChain(chain, in)) {
            const auto window = std::find_if(chain.begin(), chain.end(), [&](const Element& e) {
                return platform::same(e, in);
            });
            if (window != chain.end()) {
                document = chain[*link];
                documentDepth = (window - chain.begin()) - static_cast<std::int64_t>(*link);
            }
        }
    }
    const auto deadline = ax::deadlineAfter(ax::Clock::now(), frame::composerWalkMs);
    Walk result;
    std::int64_t visited = 0;
    const auto visit = [&](std::deque<Entry> queue, const std::optional<Element>& skip) {
        while (!queue.empty()) {
            if (visited >= frame::composerNodeLimit || ax::Clock::now() >= deadline) {
                result.cutShort = true;
                return;
            }
            ++visited;
            Entry entry = std::move(queue.front());
            queue.pop_front();
            const bool onChain = std::any_of(chain.begin(), chain.end(), [&](const Element& link) {
                return platform::same(entry.element, link);
            });
            if (onChain) {
                entry.shared = entry.depth;
            }
            if (Composer::qualifies(entry.element)) {
                result.found.push_back(Composer::Candidate{Composer{entry.element}, entry.shared});
                continue;
            }
            for (Element& child : ax::children(entry.element)) {
                if (skip && platform::same(child, *skip)) {
                    continue;  // walked already
                }
                queue.push_back(Entry{std::move(child), entry.depth + 1, entry.shared});
            }
        }
    };
    if (document) {
        visit({Entry{*document, documentDepth, documentDepth}}, std::nullopt);
        result.inDocument = result.found.size();
        if (result.cutShort) {
            return result;
        }
    }
    visit({Entry{in, 0, 0}}, document);
    if (!document) {
        result.inDocument = result.found.size();
    }
    return result;
}

}  // namespace

std::vector<Composer::Candidate> Composer::candidates(const Element& in,
                                                      const std::optional<Element>& near) {
    return walk(in, near).found;
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
    Walk walked = walk(*window, focus.element);
    // A walk cut short by its budget has not seen all of the window: a field it met outside the
    // focus's own page (a browser's address bar) may be there only because the page's composer
    // was not reached, and is not named.
    if (walked.cutShort) {
        walked.found.resize(walked.inDocument);
    }
    const std::vector<Candidate>& found = walked.found;
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
    // Walked as capture walked when it named the composer, from the focus's page: a page
    // reached only after the rest of the window would be beyond the budget here, and a composer
    // that capture named could not be found again.
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
