// Core Foundation identity of handles (CFEqual). Type tests are the alternatives of
// platform::Value, and kCFBooleanTrue is Value{true}.
#pragma once

#include "platform/accessibility.h"

namespace platform {

// CFEqual of two element handles: whether they denote the same element.
bool same(const Element& a, const Element& b);

}  // namespace platform
