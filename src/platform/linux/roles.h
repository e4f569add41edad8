// AT-SPI roles in the accessibility interface's names: the role and subrole the core reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "node.h"

namespace platform::atspi {

struct AxRole {
    std::string role;
    std::optional<std::string> subrole;
};

/// Whether the object's states take part in its AX role: text and entries are fields or areas
/// by MULTI_LINE, and paragraphs, headings and sections that can be edited are text (a
/// LibreOffice paragraph, a page's contenteditable block).
bool statesTellTheRole(std::uint32_t atspiRole);

/// The AX role of an AT-SPI role number and the object's states (only read for the roles above).
/// Roles without a counterpart are "AXUnknown".
AxRole axRole(std::uint32_t atspiRole, const States& states);

/// Whether the role names a window (frame, window, dialog, alert): what AXWindow walks up to.
bool isWindowRole(std::uint32_t atspiRole);

}  // namespace platform::atspi
