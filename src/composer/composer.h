// Composer discovery: the editable text field of a window that its structure places nearest to
// the focus, and the look-up of a composer by fingerprint. Capture and insert both use it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ax/focus.h"
#include "platform/accessibility.h"
#include "platform/types.h"

namespace composer {

struct Composer {
    platform::Element element;

    std::string label() const;                 // the accessible label
    std::optional<std::string> value() const;  // "AXValue", read afresh

    struct Candidate;

    // An editable, visible text area or text field that is no password or search field.
    static bool qualifies(const platform::Element& element);

    // Every composer of the window within the node and time budgets, never inside a composer,
    // each with the depth of its deepest ancestor on the anchor's chain: the anchor's subtree
    // first, then each ancestor's unseen part, nearest first and breadth first within.
    static std::vector<Candidate> candidates(const platform::Element& in,
                                             const std::optional<platform::Element>& near);

    // The one composer that shares the deepest ancestor with a focus that is neither editable
    // nor secure; absent on a tie, and absent when the walk was cut short by its budgets before
    // it had seen every field that could share as deep an ancestor.
    static std::optional<Composer> near(const ax::Focus& focus, platform::Pid pid);

    // The first composer of the application's focused window with exactly this fingerprint.
    static std::optional<Composer> find(const std::string& fingerprint, platform::Pid pid);
};

struct Composer::Candidate {
    Composer composer;
    std::int64_t shared = 0;
};

}  // namespace composer
