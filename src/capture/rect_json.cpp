// Rectangles into reply maps.
#include "capture/rect_json.h"

#include <cmath>

namespace capture {

nlohmann::json rectJSON(const std::optional<platform::Rect>& rect) {
    if (!rect) {
        return nullptr;
    }
    const double values[] = {rect->origin.x, rect->origin.y, rect->size.width, rect->size.height};
    for (const double value : values) {
        // One bad coordinate from a misbehaving application would otherwise make the whole
        // reply unserialisable; an unreadable anchor is what it is.
        if (!std::isfinite(value)) {
            return nullptr;
        }
    }
    return {{"x", rect->origin.x},
            {"y", rect->origin.y},
            {"w", std::fabs(rect->size.width)},
            {"h", std::fabs(rect->size.height)}};
}

}  // namespace capture
