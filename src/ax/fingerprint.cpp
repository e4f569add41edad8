// Computing fingerprints: at most three ancestors are looked at for the anchor.
#include "ax/fingerprint.h"

#include <cmath>

#include "ax/primitives.h"

namespace ax {

namespace {

constexpr int anchorAncestors = 3;

Element anchorOf(const Element& element) {
    std::optional<Element> candidate = axElement(attribute(element, "AXParent"));
    for (int examined = 1; candidate && examined <= anchorAncestors; ++examined) {
        if (stringAttribute(*candidate, "AXRole") == "AXScrollArea") {
            return *candidate;
        }
        // The parent of the last ancestor examined would never be looked at: not read.
        if (examined == anchorAncestors) {
            break;
        }
        candidate = axElement(attribute(*candidate, "AXParent"));
    }
    return element;
}

}  // namespace

std::string fingerprintCoordinate(std::optional<double> value) {
    // A coordinate that is not finite, or whose rounding leaves the 64-bit range, is unreadable.
    if (!value || !std::isfinite(*value) || std::fabs(*value) >= 9.2e18) {
        return "?";
    }
    return std::to_string(std::llround(*value));
}

std::string fingerprint(const Element& of) {
    const Element anchor = anchorOf(of);
    const auto position = axValue<Point>(attribute(anchor, "AXPosition"), WrappedKind::point);
    const auto size = axValue<Size>(attribute(anchor, "AXSize"), WrappedKind::size);
    const auto part = [](const auto& pair, auto first, auto second) {
        return pair ? fingerprintCoordinate((*pair).*first) + "," +
                          fingerprintCoordinate((*pair).*second)
                    : std::string("?,?");
    };
    const std::string frame =
        part(position, &Point::x, &Point::y) + "," + part(size, &Size::width, &Size::height);
    // Two statements: the operands of + have no order, and the role is read first.
    const std::string role = stringAttribute(of, "AXRole").value_or("");
    const std::string subrole = stringAttribute(of, "AXSubrole").value_or("");
    return role + "|" + subrole + "|" + frame;
}

}  // namespace ax
