// The simulated desktop's state: applications with their element tables, the pasteboard, the
// keyboard layouts and the timeline, as a desktop file describes them and a run changes them.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "platform/accessibility.h"
#include "platform/pasteboard.h"
#include "platform/types.h"

namespace platform::sim {

/// A read that succeeds without a value (JSON null in the file).
struct NoValue {};
/// An element of the same application, by its index in the application's element table.
struct ElementRef {
    std::int32_t index = 0;
};
struct AttributedText {
    std::string text;
};
/// A value of some other Core Foundation type (a date, a URL): the text only describes it.
struct OtherText {
    std::string text;
};
/// A read that fails with this code.
struct ErrorValue {
    AXError code = AXError::failure;
};

struct SimValue;
using SimList = std::vector<SimValue>;
struct SimValue {
    std::variant<NoValue, std::string, std::int64_t, double, bool, Point, Size, Rect, Range,
                 ElementRef, SimList, AttributedText, OtherText, ErrorValue>
        data;
};

using Attribute = std::pair<std::string, SimValue>;

inline constexpr std::int32_t noElement = -1;

/// One element; the table of an application holds them in tree pre-order, the root first.
struct Node {
    std::string id;
    std::int32_t parent = noElement;
    std::vector<std::int32_t> children;
    std::vector<Attribute> attributes;  // in file order; names are unique
    std::vector<std::string> settable;
    std::optional<SimValue> boundsForRange;
    std::optional<Range> selectionReadBack;
    double latencyMs = 0;

    const SimValue* find(std::string_view name) const {
        for (const auto& attribute : attributes) {
            if (attribute.first == name) {
                return &attribute.second;
            }
        }
        return nullptr;
    }
    void store(std::string_view name, SimValue value) {
        for (auto& attribute : attributes) {
            if (attribute.first == name) {
                attribute.second = std::move(value);
                return;
            }
        }
        attributes.emplace_back(std::string(name), std::move(value));
    }
    bool isSettable(std::string_view name) const {
        for (const auto& s : settable) {
            if (s == name) {
                return true;
            }
        }
        return false;
    }
    /// The explicit string attribute, or null.
    const std::string* string(std::string_view name) const {
        const SimValue* value = find(name);
        return value ? std::get_if<std::string>(&value->data) : nullptr;
    }
};

struct PasteboardEntry {
    std::string type;
    std::optional<Bytes> data;  // absent: a type that yields no data
};
using PasteboardItemData = std::vector<PasteboardEntry>;

/// A keyboard layout: the output of the key codes 0 to 127 without modifiers and with Command
/// held, and the byte block that the key-translation call reads.
struct KeyLayout {
    std::string name;  // a built-in layout's name; empty for a custom map
    std::array<std::u16string, 128> keys;
    std::bitset<128> given;  // custom maps: the key codes the file named
    // With Command held; where a custom map names no key, the key types what `keys` says.
    std::array<std::u16string, 128> commandKeys;
    std::bitset<128> commandGiven;
    std::vector<std::uint8_t> bytes;
};

/// What the input-source calls find: no source, a source without layout data, or a layout.
struct LayoutSlot {
    enum class Kind { absent, noData, layout };
    Kind kind = Kind::absent;
    std::shared_ptr<const KeyLayout> layout;
};

enum class Transform { none, newlinesToSpaces, trim, upper, nfd };

struct CopyReaction {
    double delayMs = 0;
    std::optional<std::string> text;
    std::optional<std::vector<PasteboardItemData>> items;
};
struct PasteReaction {
    double delayMs = 0;
    Transform transform = Transform::none;
};
struct ActivationReaction {
    double delayMs = 0;
    // Requests of these kinds are turned down, as macOS 14 may turn down an activation that was
    // not yielded to: the application stays where it is.
    bool refusesFromApplication = false;
    bool refusesWithOptions = false;
};

struct App {
    Pid pid = 0;
    std::optional<std::string> bundleId;
    std::optional<std::string> name;
    bool terminated = false;
    std::optional<std::int32_t> focused;
    double focusDelayMs = 0;
    std::optional<std::int32_t> focusedWindow;  // only when the file names one
    // Absent: the app ignores the chord, or never comes to the front.
    std::optional<ActivationReaction> activation = ActivationReaction{};
    std::optional<CopyReaction> copy = CopyReaction{};
    std::optional<PasteReaction> paste = PasteReaction{};
    // Builds its accessibility tree only once AXManualAccessibility is set on its application
    // element (Electron, Chromium): until then the root has no children and nothing focused.
    bool treeOnRequest = false;
    // X11's PRIMARY selection, where the file gives one: the text the application holds
    // selected there (absent: nothing selected). The copy probe reads it instead of pressing a
    // copy chord, as the Linux backend does.
    struct Primary {
        std::optional<std::string> text;
    };
    std::optional<Primary> primarySelection;
    std::vector<Node> nodes;
};

struct FocusedApplication {
    enum class Kind { followsFrontmost, none, fail, pid };
    Kind kind = Kind::followsFrontmost;
    Pid pid = 0;
};

/// The helper's actions that "after" events of the timeline count from.
enum class Trigger { commandC, commandV, activation, pasteboardWrite };
inline constexpr std::size_t triggerCount = 4;

struct PasteboardAction {
    std::vector<PasteboardItemData> items;
};
struct FocusAction {
    Pid pid = 0;
    std::optional<std::int32_t> element;
};
struct FrontmostAction {
    std::optional<Pid> pid;
};
struct SetAction {
    Pid pid = 0;
    std::int32_t element = 0;
    std::vector<Attribute> attributes;
};
struct SignalAction {};

struct TimelineEvent {
    std::optional<double> atMs;  // absent: an "after" event
    Trigger after = Trigger::commandC;
    double delayMs = 0;
    std::variant<PasteboardAction, FocusAction, FrontmostAction, SetAction, SignalAction> action;
    bool fired = false;
};

/// Modifier keys the user still holds (the parent's hotkey), until a time or for the whole run.
struct HeldModifiers {
    std::uint64_t flags = 0;
    std::optional<double> untilMs;
};

struct Desktop {
    bool trusted = true;
    bool postEventAccess = true;  // CGPreflightPostEventAccess
    bool secureInput = false;     // IsSecureEventInputEnabled
    HeldModifiers heldModifiers;
    std::string systemVersion = "14.0";
    std::array<int, 3> version{14, 0, 0};
    std::optional<Pid> frontmost;
    FocusedApplication focusedApplication;
    bool layoutsGiven = false;
    LayoutSlot currentLayout;
    LayoutSlot asciiCapableLayout;
    std::int64_t changeCount = 0;
    std::vector<PasteboardItemData> pasteboard;
    double pasteboardReadLatencyMs = 0;   // how long each of the helper's reads of data takes
    double pasteboardWriteLatencyMs = 0;  // how long each of the helper's writes takes to land
    // A pasteboard that refuses a writeObjects holding an item without any type, as AppKit may.
    bool pasteboardRefusesTypelessItems = false;
    // With alwaysDeny the helper's reads of pasteboard data yield nothing, as a denied read does.
    PasteboardAccessBehavior pasteboardAccess = PasteboardAccessBehavior::defaultBehavior;
    std::vector<App> apps;
    std::unordered_map<Pid, std::size_t> appIndex;
    std::vector<TimelineEvent> timeline;

    App* app(Pid pid) {
        const auto it = appIndex.find(pid);
        return it == appIndex.end() ? nullptr : &apps[it->second];
    }
    const App* app(Pid pid) const {
        const auto it = appIndex.find(pid);
        return it == appIndex.end() ? nullptr : &apps[it->second];
    }
};

}  // namespace platform::sim
