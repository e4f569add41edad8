// The record of one run that the saved desktop carries as "lastRun": what the helper asked of
// the other applications, the keys it posted, its activations and every pasteboard operation.
#pragma once

#include <cstdint>
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

struct ActivationRecord {
    Pid pid = 0;
    std::uint64_t options = 0;
    double atMs = 0;
};

struct PasteboardRecord {
    const char* op = "";  // the selector's name; always a literal
    By by = By::helper;
    double atMs = 0;
};

struct RunLog {
    std::vector<EventRecord> events;
    std::vector<ActivationRecord> activations;
    std::vector<CallRecord> calls;
    std::vector<PasteboardRecord> pasteboard;
};

const char* errorName(AXError error);

}  // namespace platform::sim
