// Element fingerprints: the name an element keeps across runs, built from its role, its subrole
// and the frame of the scroll area around it (or its own frame).
#pragma once

#include <optional>
#include <string>

#include "platform/accessibility.h"

namespace ax {

// "role|subrole|x,y,w,h", each number rounded half away from zero, "?" where unreadable.
std::string fingerprint(const platform::Element& of);

// One coordinate as the fingerprint writes it.
std::string fingerprintCoordinate(std::optional<double> value);

}  // namespace ax
