// Synthetic keyboard events over Quartz event services: each call is the one CG call, and every
// source and event is released with its last handle.
#include "platform/events.h"

#include "objects.h"

namespace platform {

std::optional<EventSource> createEventSource(std::int32_t stateId) {
    macos::Owned<sdk::CGEventSourceRef> source(
        sdk::CGEventSourceCreate(static_cast<sdk::CGEventSourceStateID>(stateId)));
    if (!source) {
        return std::nullopt;
    }
    return EventSource{std::make_shared<EventSourceObject>(std::move(source))};
}

std::optional<Event> createKeyboardEvent(const std::optional<EventSource>& source,
                                         std::uint16_t keyCode, bool keyDown) {
    const sdk::CGEventSourceRef sourceRef =
        source && source->object ? source->object->ref.get() : nullptr;
    macos::Owned<sdk::CGEventRef> event(
        sdk::CGEventCreateKeyboardEvent(sourceRef, static_cast<sdk::CGKeyCode>(keyCode), keyDown));
    if (!event) {
        return std::nullopt;
    }
    return Event{std::make_shared<EventObject>(std::move(event))};
}

void setFlags(const Event& event, std::uint64_t flags) {
    if (event.object) {
        sdk::CGEventSetFlags(event.object->ref.get(), static_cast<sdk::CGEventFlags>(flags));
    }
}

void postEvent(std::uint32_t tap, const Event& event) {
    if (event.object) {
        sdk::CGEventPost(static_cast<sdk::CGEventTapLocation>(tap), event.object->ref.get());
    }
}

bool preflightPostEventAccess() {
    return sdk::CGPreflightPostEventAccess();
}

bool isSecureEventInputEnabled() {
    return sdk::IsSecureEventInputEnabled() != 0;
}

std::uint64_t eventSourceFlagsState(std::int32_t stateId) {
    return sdk::CGEventSourceFlagsState(static_cast<sdk::CGEventSourceStateID>(stateId));
}

}  // namespace platform
