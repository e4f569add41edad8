// The snapshot of an application's focused element: its role, whether it is a password field,
// whether its text can be changed. A password field's text is never read through it.
#pragma once

#include <optional>
#include <string>

#include "platform/accessibility.h"
#include "platform/types.h"

namespace ax {

// The role or subrole of a password field, whose text is never read.
inline constexpr const char* secureRole = "AXSecureTextField";

struct Focus {
    platform::Element element;
    std::optional<std::string> role;  // "AXSecureTextField" for every password field
    bool secure = false;
    bool editable = false;

    // Read afresh on each call; absent for a password field, without any call to it.
    std::optional<std::string> value() const;
    std::optional<std::string> selectedText() const;
};

// Waits up to focusTimeoutMs for the application to report a focused element.
std::optional<Focus> focusOf(platform::Pid pid);

}  // namespace ax
