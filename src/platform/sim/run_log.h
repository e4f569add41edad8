// The record of one run that the saved desktop carries as "lastRun": what the helper asked of
// the other applications, the keys it posted, its activations, every pasteboard operation and
// the applications' reactions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/accessibility.h"
#include "platform/types.h"

namespace platform::sim {

inline constexpr std::int32_t systemWideElement = -2;

enum class CallOp : std::uint8_t { copy, copyParam, set, isSettable };
enum class By : std::uint8_t { helper, app, timeline };

struct CallRecord {
    Pid pid = 0;
    std::int32_t element = 0;  // index in the app's table, or systemWideElement
    CallOp op = CallOp::copy;
    std::string attribute;
    double atMs = 0;
    AXError error = AXError::success;
};

struct EventRecord {
    bool keyDown = false;
    std::uint16_t keyCode = 0;
    std::uint64_t flags = 0;
    std::uint32_t tap = 0;
    double atMs = 0;
};

enum class ActivationVia : std::uint8_t { withOptions, fromApplication, axFrontmost };

struct ActivationRecord {
    Pid pid = 0;
    std::uint64_t options = 0;
    double atMs = 0;
    ActivationVia via = ActivationVia::withOptions;
    std::optional<Pid> from;  // the source application of an activation from one
};

struct PasteboardRecord {
    const char* op = "";  // the selector's name; always a literal
    By by = By::helper;
    double atMs = 0;
    bool afterExit = false;  // done by a reaction carried out after the helper answered
    bool refused = false;    // a write of the helper's that the pasteboard turned down
    // Writes only: for each item written, its type names in order.
    std::optional<std::vector<std::vector<std::string>>> types;
    // A clear made with options (prepareForNewContentsWithOptions:).
    std::optional<std::uint64_t> options;
};

enum class ReactionKind : std::uint8_t { copy, paste, activation };

/// An application's answer to the helper (a copy, a paste, coming to the front), as carried out.
struct ReactionRecord {
    Pid pid = 0;
    ReactionKind kind = ReactionKind::copy;
    double dueMs = 0;
    bool afterExit = false;
};

struct RunLog {
    std::vector<EventRecord> events;
    std::vector<ActivationRecord> activations;
    std::vector<CallRecord> calls;
    std::vector<PasteboardRecord> pasteboard;
    std::vector<ReactionRecord> reactions;
};

const char* errorName(AXError error);

}  // namespace platform::sim
