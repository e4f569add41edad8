// Taking and restoring pasteboard snapshots.
#include "clipboard/snapshot.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "frame/tunables.h"

namespace clipboard {

std::optional<PendingRestore> pendingRestore;

PasteboardSnapshot takeSnapshot(const platform::Pasteboard& pasteboard) {
    PasteboardSnapshot snapshot;
    const auto items = platform::pasteboardItems(pasteboard);
    if (!items) {
        return snapshot;
    }
    for (const platform::PasteboardItem& item : *items) {
        auto& pairs = snapshot.items.emplace_back();
        for (const std::string& type : platform::types(item)) {
            if (auto data = platform::dataForType(item, type)) {
                pairs.emplace_back(type, std::move(*data));
            }
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
        platform::PasteboardItem item = platform::newPasteboardItem();
        for (const auto& [type, data] : pairs) {
            platform::setData(item, data, type);
        }
        fresh.push_back(std::move(item));
    }
    if (!fresh.empty() && !platform::writeObjects(to, fresh)) {
        // AppKit may refuse a whole write for one item that carries no type; the user's other
        // items must still come back, in their order.
        std::vector<platform::PasteboardItem> typed;
        for (std::size_t i = 0; i < fresh.size(); ++i) {
            if (!snapshot.items[i].empty()) {
                typed.push_back(fresh[i]);
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
