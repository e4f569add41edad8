// Taking and restoring pasteboard snapshots.
#include "clipboard/snapshot.h"

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
    if (!fresh.empty()) {
        platform::writeObjects(to, fresh);
    }
    return true;
}

}  // namespace clipboard
