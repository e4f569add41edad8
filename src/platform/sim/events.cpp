// Key events on the simulated desktop: every posted event is recorded; a Command key-down goes
// to the application with keyboard focus, which reads the key through the layout in use and
// copies or pastes after its delay.
#include "platform/events.h"

#include "platform/sim/handles.h"
#include "platform/sim/layouts.h"
#include "platform/sim/runtime.h"

namespace platform {

namespace {

// The layout an application reads key codes through; lock held.
const sim::KeyLayout& readingLayout(const sim::Desktop& desktop) {
    for (const sim::LayoutSlot* slot : {&desktop.currentLayout, &desktop.asciiCapableLayout}) {
        if (slot->kind == sim::LayoutSlot::Kind::layout && slot->layout) {
            return *slot->layout;
        }
    }
    return sim::usLayout();
}

// The modifiers the user holds at this moment; lock held.
std::uint64_t heldNow(const sim::Live& live) {
    const sim::HeldModifiers& held = live.desktop.heldModifiers;
    if (held.untilMs && live.elapsedMs() >= *held.untilMs) {
        return 0;
    }
    return held.flags;
}

constexpr std::uint64_t otherModifiers =
    eventFlagMaskShift | eventFlagMaskControl | eventFlagMaskAlternate;

std::optional<Pid> keyboardFocus(const sim::Desktop& desktop) {
    if (desktop.focusedApplication.kind == sim::FocusedApplication::Kind::pid) {
        return desktop.focusedApplication.pid;
    }
    return desktop.frontmost;
}

}  // namespace

std::optional<EventSource> createEventSource(std::int32_t stateId) {
    sim::acquire();
    auto object = std::make_shared<EventSourceObject>();
    object->stateId = stateId;
    return EventSource{std::move(object)};
}

std::optional<Event> createKeyboardEvent(const std::optional<EventSource>& source,
                                         std::uint16_t keyCode, bool keyDown) {
    (void)source;
    sim::acquire();
    auto object = std::make_shared<EventObject>();
    object->keyCode = keyCode;
    object->keyDown = keyDown;
    return Event{std::move(object)};
}

void setFlags(const Event& event, std::uint64_t flags) {
    if (event.object) {
        event.object->flags.store(flags);
    }
}

void postEvent(std::uint32_t tap, const Event& event) {
    if (!event.object) {
        return;
    }
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    const EventObject& posted = *event.object;
    const std::uint64_t flags = posted.flags.load();
    live->log.events.push_back({posted.keyDown, posted.keyCode, flags, tap, live->elapsedMs()});
    // Without the permission to post, or while somebody holds secure input, the event reaches
    // nobody. Keys the user still holds add their modifiers: Option-Command-V is another
    // shortcut than Command-V.
    if (!live->desktop.postEventAccess || live->desktop.secureInput) {
        return;
    }
    if (!posted.keyDown || (flags & eventFlagMaskCommand) == 0 ||
        (heldNow(*live) & otherModifiers) != 0) {
        return;
    }
    // A Command chord is read as its Command output: on a layout whose shortcuts stay on the US
    // keys, that is not the letter the key types alone.
    const std::u16string_view output =
        sim::keyOutput(readingLayout(live->desktop), posted.keyCode, true);
    const bool isCopy = output == u"c";
    if (!isCopy && output != u"v") {
        return;
    }
    live->helperDid(isCopy ? sim::Trigger::commandC : sim::Trigger::commandV);
    const auto pid = keyboardFocus(live->desktop);
    const sim::App* app = pid ? live->desktop.app(*pid) : nullptr;
    if (app == nullptr || app->terminated) {
        return;
    }
    if (isCopy && app->copy) {
        live->schedule(app->copy->delayMs, sim::Task{sim::Task::Kind::copy, app->pid, 0});
    } else if (!isCopy && app->paste) {
        live->schedule(app->paste->delayMs, sim::Task{sim::Task::Kind::paste, app->pid, 0});
    }
}

bool preflightPostEventAccess() {
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    return live->desktop.postEventAccess;
}

bool isSecureEventInputEnabled() {
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    return live->desktop.secureInput;
}

std::uint64_t eventSourceFlagsState(std::int32_t stateId) {
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    // A private source state holds only what was posted through it: nothing the user presses.
    return stateId == eventSourceStatePrivate ? 0 : heldNow(*live);
}

}  // namespace platform
