// The complete copy of the general pasteboard that a borrowing command takes before it touches
// the pasteboard, its guarded restore, and the place where it is parked while borrowed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/pasteboard.h"
#include "platform/types.h"

namespace clipboard {

struct PasteboardSnapshot {
    // One entry per pasteboard item in order, concealed items left out; per item the (type,
    // bytes) pairs that yielded data.
    std::vector<std::vector<std::pair<std::string, platform::Bytes>>> items;
    // Types listed that yielded no data: a restore cannot give them back.
    std::vector<std::string> unreadableTypes;
    // Items marked org.nspasteboard.ConcealedType (a password manager's copy): never read, and
    // never given back, since a give-back would keep the secret past the time its owner clears it.
    std::size_t concealedItems = 0;
    // Why the user's pasteboard could not be given back at all once borrowed: access denied, no
    // list of items, or an item none of whose types yields data. Absent when it can.
    std::optional<std::string> unusable;

    // Everything the pasteboard held can be put back as it was.
    bool whole() const { return !unusable && unreadableTypes.empty() && concealedItems == 0; }
};

// Copies every item and every type that yields data, eagerly, except concealed items; reads
// nothing when the system would deny this program the data. Never fails: what it could not read
// is recorded.
PasteboardSnapshot takeSnapshot(const platform::Pasteboard& pasteboard);

// Puts the snapshot back only when the change count is still ifStill: a newer write by anybody
// else wins. The result tells whether it was put back, whatever the writes themselves answered.
bool restore(const PasteboardSnapshot& snapshot, const platform::Pasteboard& to,
             std::int64_t ifStill);

struct PendingRestore {
    PasteboardSnapshot snapshot;
    // The count right after the borrowing write; while a copy is awaited, the count before it.
    std::int64_t changeCount = 0;
    // Set while a copy asked of the frontmost application has not been seen: any change of the
    // count counts as that copy, and until this time it may still come.
    std::optional<platform::Clock::time_point> copyDueBy;
};

// Parked while a command has the pasteboard borrowed, so that the watchdog can put it back.
// Read and written only while holding frame::exitLock.
extern std::optional<PendingRestore> pendingRestore;

// Holding frame::exitLock, on the way out: puts a parked snapshot back. After a borrowing write
// that is restore as usual; for an awaited copy, a restore once the count has moved, if it moved
// by the copy's one step alone, and with waitForCopy the rest of the copy's window is waited out
// first. The restore's result, or absent when nothing was parked or the awaited copy did not
// come.
std::optional<bool> restoreParked(const platform::Pasteboard& pasteboard, bool waitForCopy);

// What the watchdog gives back when the command gives up: a parked snapshot restored to the
// general pasteboard, a copy still on its way waited for (at most the probe's time-out).
std::optional<bool> giveBackOnGiveUp();

}  // namespace clipboard
