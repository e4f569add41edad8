// Reads and writes of one accessible object over the bus, each a single call with the element's
// own time-out, its failure given as the AX error the core expects.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "objects.h"
#include "platform/accessibility.h"

namespace platform::atspi {

inline constexpr const char* accessibleInterface = "org.a11y.atspi.Accessible";
inline constexpr const char* textInterface = "org.a11y.atspi.Text";
inline constexpr const char* editableTextInterface = "org.a11y.atspi.EditableText";
inline constexpr const char* componentInterface = "org.a11y.atspi.Component";
inline constexpr const char* collectionInterface = "org.a11y.atspi.Collection";

/// A value read, or why not.
template <class T>
struct Got {
    AXError error = AXError::failure;
    std::optional<T> value;
    bool ok() const { return error == AXError::success && value.has_value(); }
    static Got of(T v) { return {AXError::success, std::move(v)}; }
    static Got failed(AXError e) { return {e, std::nullopt}; }
};

/// The AX error a failed reply stands for: no answer in time cannot complete, an object or
/// application that is gone is an invalid element, a missing interface an unsupported attribute.
AXError errorOf(const Reply& reply);

/// Both words of the state set (states 0 to 31 and 32 to 63).
using States = std::array<std::uint32_t, 2>;
bool has(const States& states, int state);

/// The object behind an element: its reference and the time-out to use, or none while the
/// application's root is not found.
struct Target {
    Ref ref;
    int timeoutMs = defaultMessagingTimeoutMs;
};
std::optional<Target> target(ElementObject& element);

Got<std::uint32_t> role(ElementObject& element, const Target& at);
Got<std::vector<std::string>> interfaces(ElementObject& element, const Target& at);
/// Success when the object has the interface, attributeUnsupported when it has not, else why
/// its interfaces could not be read (a stopped application's time-out is not "unsupported").
AXError support(ElementObject& element, const Target& at, const char* interface);
Got<States> states(const Target& at);

Got<std::string> stringProperty(const Target& at, const char* interface, const char* name);
Got<std::optional<Ref>> parent(const Target& at);
Got<std::vector<Ref>> children(const Target& at);
Got<std::optional<std::string>> attribute(const Target& at, const std::string& key);

/// The first selection in the toolkit's offsets, or none when nothing is selected.
Got<std::optional<std::pair<std::int32_t, std::int32_t>>> selection(const Target& at);
Got<std::int32_t> caret(const Target& at);

/// Screen rectangles: an object's extents, a range's, a character's. Off-screen extents come
/// back as INT_MIN and are no value.
Got<Rect> extents(const Target& at);
Got<Rect> rangeExtents(const Target& at, std::int32_t start, std::int32_t end);
Got<Rect> characterExtents(const Target& at, std::int32_t offset);

/// Calls that answer with a boolean: true only when the object said it did it.
AXError callForTrue(const Target& at, const char* interface, const char* method,
                    const std::vector<Argument>& arguments);

}  // namespace platform::atspi
