// A recording fake of the Apple SDK functions the macOS backend calls, for tests on machines
// without the SDK: it scripts the answers (values, AX error codes, layouts, NULL results), logs
// the calls, and keeps every Core Foundation object it hands out in a registry, so that a leak
// shows as a live object and a double release or a use after release as a fault.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "apple_sdk.h"

namespace fake {

/// Forgets every script, call and object (a test starts from here); the constants stay.
void reset();

/// Objects created and not yet released, the immortal constants left out.
int liveObjects();

/// What the backend did wrong: releases of dead objects, out-pointers not NULL before a call,
/// unknown references, reads out of range.
std::vector<std::string> faults();

// --- objects a test makes (each a +1 reference the test owns) ------------------------------

sdk::CFTypeRef string(const std::u16string& units);
sdk::CFTypeRef integer(std::int64_t value);
sdk::CFTypeRef real(double value);
/// An integer CFNumber beyond the signed 64-bit range, such as an unsigned 2^64 - 1.
sdk::CFTypeRef hugeInteger(double value);
sdk::CFTypeRef array(const std::vector<sdk::CFTypeRef>& items);  // the items stay the test's
sdk::CFTypeRef attributed(const std::u16string& units);
sdk::CFTypeRef element(int id);
/// An AXValue of any kind, 0 to 5 and beyond, with these bytes.
sdk::CFTypeRef axValue(std::uint32_t kind, const void* bytes, std::size_t size);
/// A type the backend has no slot for (a date, say).
sdk::CFTypeRef other();

/// What a CF value is, for assertions: "string héllo", "integer 5", "real 2.5", "true",
/// "array [integer 1, string x]", "range 3 4", "element 7", ...
std::string describe(sdk::CFTypeRef value);

/// The element a reference stands for, and the messaging time-out last set on that reference
/// (absent when none was).
int elementId(sdk::CFTypeRef element);
std::optional<float> timeoutOf(sdk::CFTypeRef element);

// --- accessibility scripts ----------------------------------------------------------------

using Factory = std::function<sdk::CFTypeRef()>;  // a fresh +1 value per call, or NULL

/// AXUIElementCopyAttributeValue (and the parameterized form) on that element and attribute.
void answer(int element, const std::string& attribute, sdk::AXError error, Factory value = {});
void settable(int element, const std::string& attribute, sdk::AXError error, bool settable);
void setResult(int element, const std::string& attribute, sdk::AXError error);
void pidOf(int element, sdk::AXError error, pid_t pid);
void trusted(bool trusted);
/// The next AXUIElementCreateApplication / CreateSystemWide answers NULL.
void failCreations(bool fail);

struct Call {
    std::string op;         // the SDK function's name
    int element = 0;        // the element's id, for AX calls
    std::string attribute;  // the attribute, for AX calls
    std::string detail;     // the value set or the parameter passed, described
};
const std::vector<Call>& calls();

// --- key layouts and events ---------------------------------------------------------------

struct Layout {
    std::array<std::u16string, 128> plain;    // without modifiers
    std::array<std::u16string, 128> command;  // with the Command modifier state (1)
};

/// What TISCopyCurrent(ASCIICapable)KeyboardLayoutInputSource finds: absent, a source without
/// layout data (NULL property), a layout whose data has a NULL byte pointer, or a layout.
struct Source {
    enum class Kind { absent, noData, nullBytes, layout };
    Kind kind = Kind::absent;
    Layout layout;
};
void currentLayout(const Source& source);
void asciiCapableLayout(const Source& source);
void keyboardType(std::uint8_t type);

struct Translation {
    std::uint16_t keyCode = 0;
    std::uint16_t action = 0;
    std::uint32_t modifiers = 0;
    std::uint32_t keyboardType = 0;
    std::uint32_t options = 0;
    std::uint32_t deadKeyStateIn = 0;
    unsigned long maxLength = 0;
};
const std::vector<Translation>& translations();

/// The next CGEventSourceCreate / CGEventCreateKeyboardEvent answers NULL.
void failEventSources(bool fail);
void failKeyboardEvents(bool fail);

struct Posted {
    std::uint16_t keyCode = 0;
    bool keyDown = false;
    std::uint64_t flags = 0;
    std::uint32_t tap = 0;
    std::optional<std::int32_t> sourceState;  // absent: made without a source
};
const std::vector<Posted>& posted();

/// CGPreflightPostEventAccess, IsSecureEventInputEnabled and CGEventSourceFlagsState (the flags
/// of one source state; every other state answers 0).
void postEventAccess(bool allowed);
void secureInput(bool enabled);
void flagsState(std::int32_t state, std::uint64_t flags);

struct RunLoopTurn {
    std::string mode;
    double seconds = 0;
    bool returnAfterSourceHandled = false;
};
const std::vector<RunLoopTurn>& runLoopTurns();

}  // namespace fake
