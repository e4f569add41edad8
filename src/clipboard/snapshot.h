// The complete copy of the general pasteboard that a borrowing command takes before it touches
// the pasteboard, its guarded restore, and the place where it is parked while borrowed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/pasteboard.h"

namespace clipboard {

struct PasteboardSnapshot {
    // One entry per pasteboard item in order; per item the (type, bytes) pairs that yielded data.
    std::vector<std::vector<std::pair<std::string, platform::Bytes>>> items;
};

// Copies every item and every type that yields data, eagerly; never fails.
PasteboardSnapshot takeSnapshot(const platform::Pasteboard& pasteboard);

// Puts the snapshot back only when the change count is still ifStill: a newer write by anybody
// else wins. The result tells whether it was put back, whatever the writes themselves answered.
bool restore(const PasteboardSnapshot& snapshot, const platform::Pasteboard& to,
             std::int64_t ifStill);

struct PendingRestore {
    PasteboardSnapshot snapshot;
    std::int64_t changeCount = 0;  // the count right after the borrowing write
};

// Parked while a command has the pasteboard borrowed, so that the watchdog can put it back.
// Read and written only while holding frame::exitLock.
extern std::optional<PendingRestore> pendingRestore;

}  // namespace clipboard
