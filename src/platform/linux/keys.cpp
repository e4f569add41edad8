// Key events through XTest: a Command chord is pressed with Control, the shortcut modifier of X11
// applications, and a key code names the key at its position on a Mac keyboard. The events
// reach whichever window has the X input focus.
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "key_positions.h"
#include "platform/events.h"
#include "unusable.h"
#include "xlink.h"

namespace platform {

struct EventSourceObject {};

struct EventObject {
    std::uint16_t keyCode = 0;
    bool keyDown = false;
    std::uint64_t flags = 0;
};

namespace {

// The modifier keys a chord's flags stand for, in the order they are pressed.
struct Modifier {
    std::uint64_t flags;
    KeySym key;
};
constexpr Modifier modifiers[] = {
    {eventFlagMaskCommand | eventFlagMaskControl, XK_Control_L},
    {eventFlagMaskShift, XK_Shift_L},
    {eventFlagMaskAlternate, XK_Alt_L},
};

void press(Display* display, KeySym key, bool down) {
    const KeyCode code = XKeysymToKeycode(display, key);
    if (code != 0) {
        XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime);
    }
}

}  // namespace

std::optional<EventSource> createEventSource(std::int32_t /*stateId*/) {
    return EventSource{std::make_shared<EventSourceObject>()};
}

std::optional<Event> createKeyboardEvent(const std::optional<EventSource>& /*source*/,
                                         std::uint16_t keyCode, bool keyDown) {
    auto event = std::make_shared<EventObject>();
    event->keyCode = keyCode;
    event->keyDown = keyDown;
    return Event{std::move(event)};
}

void setFlags(const Event& event, std::uint64_t flags) {
    if (event.object) {
        event.object->flags = flags;
    }
}

// A key-down presses the flags' modifiers first; a key-up lets them go after the key, so that
// each event carries its chord as the flags of a Quartz event would.
void postEvent(std::uint32_t /*tap*/, const Event& event) {
    x11::Link* link = x11::clientLink();
    const unsigned key = event.object ? x11::xKeycodeAt(event.object->keyCode) : 0;
    if (link == nullptr || key == 0) {
        return;
    }
    const x11::Hold hold = x11::lock(*link);
    if (!hold) {
        return;
    }
    Display* display = link->display;
    const EventObject& e = *event.object;
    if (e.keyDown) {
        for (const Modifier& modifier : modifiers) {
            if ((e.flags & modifier.flags) != 0) {
                press(display, modifier.key, true);
            }
        }
        XTestFakeKeyEvent(display, key, True, CurrentTime);
    } else {
        XTestFakeKeyEvent(display, key, False, CurrentTime);
        for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) {
            if ((e.flags & it->flags) != 0) {
                press(display, it->key, false);
            }
        }
    }
    XSync(display, False);
}

// Keys are XTest's: without a display or the extension, nothing this backend presses would
// arrive, and insert says why before it touches anything.
bool preflightPostEventAccess() {
    x11::Link* link = x11::clientLink();
    if (link == nullptr) {
        atspi::unusable(
            "there is no X11 display: insert pastes with X11 key events (XTest), which reach "
            "X11 and XWayland windows only");
    }
    const x11::Hold hold = x11::lock(*link);
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (hold && !XTestQueryExtension(link->display, &event, &error, &major, &minor)) {
        atspi::unusable("the X server has no XTEST extension, which insert posts its keys with");
    }
    return true;
}

// An X client's keyboard grab (a terminal's secure keyboard) is not looked for: asking means
// grabbing the keyboard, which the focused application would see as losing its focus.
bool isSecureEventInputEnabled() {
    return false;
}

// The modifiers the user holds down, as XKB's base state has them: Super stands for Command.
std::uint64_t eventSourceFlagsState(std::int32_t /*stateId*/) {
    x11::Link* link = x11::clientLink();
    if (link == nullptr) {
        return 0;
    }
    const x11::Hold hold = x11::lock(*link);
    XkbStateRec state{};
    if (!hold || XkbGetState(link->display, XkbUseCoreKbd, &state) != Success) {
        return 0;
    }
    std::uint64_t flags = 0;
    flags |= (state.base_mods & ShiftMask) != 0 ? eventFlagMaskShift : 0;
    flags |= (state.base_mods & ControlMask) != 0 ? eventFlagMaskControl : 0;
    flags |= (state.base_mods & Mod1Mask) != 0 ? eventFlagMaskAlternate : 0;
    flags |= (state.base_mods & Mod4Mask) != 0 ? eventFlagMaskCommand : 0;
    return flags;
}

}  // namespace platform
