// Core Foundation values to platform values and back: strings through UTF-16 (lone surrogates
// become U+FFFD, so UTF-16 lengths stay as the element counts them), numbers, Booleans, arrays,
// attributed strings, AXValue wrappers and elements; and AXError codes.
#pragma once

#include <string>
#include <string_view>

#include "owned.h"
#include "platform/accessibility.h"

namespace platform::macos {

/// The string's text as UTF-8; "" for null.
std::string stringFrom(sdk::CFStringRef string);

/// A new CFString; invalid UTF-8 arrives as U+FFFD.
Owned<sdk::CFStringRef> makeString(std::string_view utf8);

/// The value behind a non-null CF reference, which stays the caller's. Types the platform has
/// no slot for (dates, AXValue kinds 0 and 5, arrays nested past a sane depth) are OtherValue.
Value valueFrom(sdk::CFTypeRef value);

/// A new CF value for a write or a parameter; null for the kinds that cannot be written back
/// (OtherValue, AttributedString), which the callers answer with illegalArgument.
Owned<sdk::CFTypeRef> cfFrom(const Value& value);

/// The platform's error for an AXError; codes the platform does not name are failure.
AXError errorFrom(sdk::AXError error);

/// A handle for an element reference the caller owns; a null reference gives an empty handle.
Element elementFrom(Owned<sdk::AXUIElementRef> ref);

}  // namespace platform::macos
