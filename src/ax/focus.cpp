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
        platform::AttributeRead read = platform::copyAttributeValue(app, "AXFocusedUIElement");
        focused = read.error == platform::AXError::success ? axElement(read.value) : std::nullopt;
        // An application that is not there for accessibility at all (gone, or never on the
        // bus) will not have a focus by the end of the wait: no waiting for it.
        return focused.has_value() || read.error == platform::AXError::invalidUIElement;
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
