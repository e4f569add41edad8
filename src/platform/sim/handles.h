// The objects behind the platform's handles on the simulated desktop. Each carries the
// generation of the desktop it came from, so a handle that outlives its desktop fails cleanly.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/accessibility.h"
#include "platform/sim/model.h"

namespace platform {

inline constexpr float defaultMessagingTimeout = 6.0f;

struct ElementObject {
    std::uint64_t generation = 0;
    Pid pid = 0;
    std::int32_t element = 0;  // index in the app's table, or sim::systemWideElement
    std::atomic<float> timeoutSeconds{defaultMessagingTimeout};
};

struct PasteboardObject {
    std::uint64_t generation = 0;
};

struct PasteboardItemObject {
    // An item that the pasteboard listed: it yields data only while the change count stays.
    bool listed = false;
    std::uint64_t generation = 0;
    std::size_t index = 0;
    std::int64_t changeCount = 0;
    // A new item being made for writing.
    std::mutex mutex;
    sim::PasteboardItemData entries;
    // Handed to a write of a pasteboard the helper owned: as in AppKit, where such an item raises
    // when written again, a second write that holds it is refused.
    bool handed = false;
};

struct RunningApplicationObject {
    std::uint64_t generation = 0;
    Pid pid = 0;
};

struct InputSourceObject {
    std::shared_ptr<const sim::KeyLayout> layout;  // null: a source without layout data
};

struct KeyLayoutDataObject {
    std::shared_ptr<const sim::KeyLayout> layout;
};

struct EventSourceObject {
    std::int32_t stateId = 0;
};

struct EventObject {
    std::uint16_t keyCode = 0;
    bool keyDown = false;
    std::atomic<std::uint64_t> flags{0};
};

namespace sim {

inline Element makeElement(std::uint64_t generation, Pid pid, std::int32_t element) {
    auto object = std::make_shared<ElementObject>();
    object->generation = generation;
    object->pid = pid;
    object->element = element;
    return Element{std::move(object)};
}

}  // namespace sim

}  // namespace platform
