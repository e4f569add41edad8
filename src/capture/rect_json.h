// The rectangle map of a capture reply.
#pragma once

#include <optional>

#include <nlohmann/json.hpp>

#include "platform/types.h"

namespace capture {

// {"x","y","w","h"} with width and height as magnitudes; null when absent or not finite.
nlohmann::json rectJSON(const std::optional<platform::Rect>& rect);

}  // namespace capture
