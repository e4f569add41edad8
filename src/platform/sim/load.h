// Reading a desktop file into the model, with the checks that refuse a malformed one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/sim/model.h"

namespace platform::sim {

struct LoadOutcome {
    std::optional<Desktop> desktop;
    std::string detail;  // when refused: "desktop: NAME: what is wrong"
};

/// Parses and checks the text of a desktop file; `name` is what the detail calls the file.
LoadOutcome loadDesktop(std::string_view text, std::string_view name);
/// The same, reading the text where it is.
LoadOutcome loadDesktopText(std::string&& text, std::string_view name);

/// Reads the file and loads it; an unreadable file is refused like a malformed one.
LoadOutcome loadDesktopFile(const std::string& path);

}  // namespace platform::sim
