// Building the focus snapshot.
#include "ax/focus.h"

#include "ax/poll.h"
#include "ax/primitives.h"
#include "frame/tunables.h"

namespace ax {

std::optional<std::string> Focus::value() const {
    return secure ? std::nullopt : stringAttribute(element, "AXValue");
}

std::optional<std::string> Focus::selectedText() const {
    return secure ? std::nullopt : stringAttribute(element, "AXSelectedText");
}

std::optional<Focus> focusOf(platform::Pid pid) {
    const Element app = applicationElement(pid);
    // Some applications only build their accessibility tree once asked to, others once somebody
    // has talked to them: the request, and a question whose answer is dropped.
    requestTree(app);
    [[maybe_unused]] const auto ignored = attribute(app, "AXRole");
    std::optional<Element> focused;
    poll(frame::focusTimeoutMs, [&] {
        focused = axElement(attribute(app, "AXFocusedUIElement"));
        return focused.has_value();
    });
    if (!focused) {
        return std::nullopt;
    }
    const std::optional<std::string> role = stringAttribute(*focused, "AXRole");
    if (role == secureRole || stringAttribute(*focused, "AXSubrole") == secureRole) {
        return Focus{*focused, secureRole, true, false};
    }
    return Focus{*focused, role, false, isEditable(*focused)};
}

}  // namespace ax
