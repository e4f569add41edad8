// Quartz event services (Core Graphics): synthetic keyboard events.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

namespace platform {

// kCGEventSourceStatePrivate.
inline constexpr std::int32_t eventSourceStatePrivate = -1;
// kCGEventSourceStateHIDSystemState: the keys and modifiers the hardware holds down.
inline constexpr std::int32_t eventSourceStateHIDSystemState = 1;
// kCGEventFlagMaskShift, ...Control, ...Alternate (Option) and ...Command.
inline constexpr std::uint64_t eventFlagMaskShift = 0x20000;
inline constexpr std::uint64_t eventFlagMaskControl = 0x40000;
inline constexpr std::uint64_t eventFlagMaskAlternate = 0x80000;
inline constexpr std::uint64_t eventFlagMaskCommand = 0x100000;
// kCGHIDEventTap.
inline constexpr std::uint32_t hidEventTap = 0;

struct EventSourceObject;
struct EventSource {
    std::shared_ptr<EventSourceObject> object;
};

struct EventObject;
struct Event {
    std::shared_ptr<EventObject> object;
};

// CGEventSourceCreate, or absent; released with the last copy of the handle.
std::optional<EventSource> createEventSource(std::int32_t stateId);

// CGEventCreateKeyboardEvent, with or without a source; absent when it could not be made.
std::optional<Event> createKeyboardEvent(const std::optional<EventSource>& source,
                                         std::uint16_t keyCode, bool keyDown);

// CGEventSetFlags: replaces the event's modifier flags.
void setFlags(const Event& event, std::uint64_t flags);

// CGEventPost at the given tap.
void postEvent(std::uint32_t tap, const Event& event);

// CGPreflightPostEventAccess: whether events this program posts reach other applications;
// without the permission they vanish silently.
bool preflightPostEventAccess();

// IsSecureEventInputEnabled: some application holds secure keyboard input (a password field, a
// terminal's secure keyboard entry), and synthetic keys do not reach anybody.
bool isSecureEventInputEnabled();

// CGEventSourceFlagsState: the modifier flags of a source state now.
std::uint64_t eventSourceFlagsState(std::int32_t stateId);

}  // namespace platform
