// What a field does to pasted text before it stores it, as some real fields do.
#pragma once

#include <string>
#include <string_view>

#include "platform/sim/model.h"

namespace platform::sim {

/// The text as a field with this transform stores it; the text must be valid UTF-8. Taken by
/// value: without a transform it is handed on as it is.
std::string applyTransform(Transform transform, std::string text);

}  // namespace platform::sim
