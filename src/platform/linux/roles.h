// AT-SPI roles in the accessibility interface's names: the role and subrole the core reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform::atspi {

struct AxRole {
    std::string role;
    std::optional<std::string> subrole;
};

/// The AX role of an AT-SPI role number; a text or entry role counts as a text area when its
/// object is multi-line. Roles without a counterpart are "AXUnknown".
AxRole axRole(std::uint32_t atspiRole, bool multiLine);

/// Whether the role names a window (frame, window, dialog, alert): what AXWindow walks up to.
bool isWindowRole(std::uint32_t atspiRole);

}  // namespace platform::atspi
