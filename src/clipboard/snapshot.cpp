// Taking and restoring pasteboard snapshots.
#include "clipboard/snapshot.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "clipboard/marked_text.h"
#include "frame/tunables.h"

namespace clipboard {

std::optional<PendingRestore> pendingRestore;

namespace {

platform::PasteboardItem freshItem(
    const std::vector<std::pair<std::string, platform::Bytes>>& pairs) {
    platform::PasteboardItem item = platform::newPasteboardItem();
    for (const auto& [type, data] : pairs) {
        platform::setData(item, data, type);
    }
    return item;
}

}  // namespace

PasteboardSnapshot takeSnapshot(const platform::Pasteboard& pasteboard) {
    PasteboardSnapshot snapshot;
    // Asked first: with access denied every read would come back empty, and each may put an
    // alert before the user.
    if (platform::accessBehavior(pasteboard) == platform::PasteboardAccessBehavior::alwaysDeny) {
        snapshot.unusable = "pasteboard access is denied to this program";
        return snapshot;
    }
    const auto items = platform::pasteboardItems(pasteboard);
    if (!items) {
        snapshot.unusable = "the pasteboard's items cannot be listed";
        return snapshot;
    }
    for (const platform::PasteboardItem& item : *items) {
        const std::vector<std::string> types = platform::types(item);
        if (std::find(types.begin(), types.end(), concealedType) != types.end()) {
            ++snapshot.concealedItems;
            continue;
        }
        auto& pairs = snapshot.items.emplace_back();
        for (const std::string& type : types) {
            if (auto data = platform::dataForType(item, type)) {
                pairs.emplace_back(type, std::move(*data));
            } else {
                snapshot.unreadableTypes.push_back(type);
            }
        }
        if (pairs.empty() && !types.empty() && !snapshot.unusable) {
            snapshot.unusable = "the pasteboard's items yield no data";
        }
    }
    return snapshot;
}

bool restore(const PasteboardSnapshot& snapshot, const platform::Pasteboard& to,
             std::int64_t ifStill) {
    if (platform::changeCount(to) != ifStill) {
        return false;
    }
    platform::clearContents(to);
    std::vector<platform::PasteboardItem> fresh;
    fresh.reserve(snapshot.items.size());
    for (const auto& pairs : snapshot.items) {
        fresh.push_back(freshItem(pairs));
    }
    if (!fresh.empty() && !platform::writeObjects(to, fresh)) {
        // AppKit may refuse a whole write for one item that carries no type; the user's other
        // items must still come back, in their order. Items that were handed to a write once
        // belong to that pasteboard (writing them again raises), so the second write makes new
        // ones.
        std::vector<platform::PasteboardItem> typed;
        for (const auto& pairs : snapshot.items) {
            if (!pairs.empty()) {
                typed.push_back(freshItem(pairs));
            }
        }
        if (!typed.empty() && typed.size() < fresh.size()) {
            platform::writeObjects(to, typed);
        }
    }
    return true;
}

std::optional<bool> restoreParked(const platform::Pasteboard& pasteboard, bool waitForCopy) {
    if (!pendingRestore) {
        return std::nullopt;
    }
    const PendingRestore& parked = *pendingRestore;
    if (!parked.copyDueBy) {
        return restore(parked.snapshot, pasteboard, parked.changeCount);
    }
    // Not the main thread's run loop: this may be the watchdog, so the wait only sleeps.
    const auto step = std::chrono::duration_cast<platform::Clock::duration>(
        std::chrono::duration<double>(frame::pollInterval));
    std::int64_t now = platform::changeCount(pasteboard);
    while (waitForCopy && now == parked.changeCount && platform::Clock::now() < *parked.copyDueBy) {
        std::this_thread::sleep_for(std::min(step, *parked.copyDueBy - platform::Clock::now()));
        now = platform::changeCount(pasteboard);
    }
    if (now == parked.changeCount) {
        return std::nullopt;  // no copy came: the pasteboard is still the user's
    }
    // Whoever wrote is taken for the copy, but only its one change is undone: should the count
    // have moved further, somebody wrote after it, and that write wins.
    return restore(parked.snapshot, pasteboard, parked.changeCount + 1);
}

std::optional<bool> giveBackOnGiveUp() {
    return restoreParked(platform::generalPasteboard(), true);
}

}  // namespace clipboard
