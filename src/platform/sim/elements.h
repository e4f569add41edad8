// What an element answers: its explicit attributes first, then the ones derived from the tree,
// the text and the focus; and what a write does to it. Every function here runs under the
// desktop's lock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/accessibility.h"
#include "platform/sim/live.h"
#include "platform/sim/model.h"

namespace platform::sim {

/// The platform's form of a stored value; element references become new handles.
Value toPlatformValue(std::uint64_t generation, Pid pid, const SimValue& value);

/// The stored form of a value written to an element of `pid`, or absent for one that it cannot
/// hold (an element of another application or of another desktop).
std::optional<SimValue> fromPlatformValue(std::uint64_t generation, Pid pid, const Value& value);

AttributeRead readAttribute(const Live& live, const App& app, std::int32_t index,
                            std::string_view name);
AttributeRead readSystemWideAttribute(const Live& live, std::string_view name);

/// Whether the element has the attribute, explicitly or derived.
bool hasAttribute(const App& app, std::int32_t index, std::string_view name);
bool systemWideHas(std::string_view name);

AXError writeAttribute(Live& live, App& app, std::int32_t index, std::string_view name,
                       const Value& value);

/// The part of the element's AXValue that its AXSelectedTextRange covers (UTF-16 units,
/// clamped to the text), or absent without both.
std::optional<std::string> derivedSelectedText(const Node& node);

/// The element's selected text as an application sees it: an explicit string first.
std::optional<std::string> selectedText(const Node& node);

/// True for a password field: role or subrole AXSecureTextField.
bool isSecure(const Node& node);

/// The range clamped to a text of `length` UTF-16 units.
Range clampRange(Range range, std::int64_t length);

}  // namespace platform::sim
