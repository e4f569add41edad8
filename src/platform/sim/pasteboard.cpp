// The general pasteboard on the simulated desktop. Items it lists stand for the contents at that
// change count, as on macOS: once somebody writes the pasteboard they yield nothing. The helper's
// reads of data and its writes take the desktop's latencies, and its writes are refused once
// somebody else has cleared the pasteboard after the helper did, as AppKit refuses a writer that
// lost ownership.
#include "platform/pasteboard.h"

#include <algorithm>
#include <thread>

#include "platform/sim/board.h"
#include "platform/sim/handles.h"
#include "platform/sim/runtime.h"

namespace platform {

namespace {

using sim::By;
using sim::Live;

// The listed item's data while it still stands for the pasteboard's contents; lock held.
const sim::PasteboardItemData* listedData(const Live& live, const PasteboardItemObject& item) {
    if (item.generation != live.generation || item.changeCount != live.desktop.changeCount ||
        item.index >= live.desktop.pasteboard.size()) {
        return nullptr;
    }
    return &live.desktop.pasteboard[item.index];
}

template <typename Body>
auto withItemData(const PasteboardItem& item, const char* op, Body body) {
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    sim::logBoard(*live, op, By::helper);
    if (item.object->listed) {
        return body(*live, listedData(*live, *item.object));
    }
    std::lock_guard itemLock(item.object->mutex);
    return body(*live, &item.object->entries);
}

// The helper's reads of data wait for the owner to hand it over: the read latency, slept with no
// lock held.
void awaitData(Live& live) {
    double latencyMs = 0;
    {
        std::lock_guard lock(live.mutex);
        latencyMs = live.desktop.pasteboardReadLatencyMs;
    }
    if (latencyMs > 0) {
        std::this_thread::sleep_for(sim::clockOffset(latencyMs));
    }
}

// A read of data the user has denied this program; lock held.
bool denied(const Live& live) {
    return live.desktop.pasteboardAccess == PasteboardAccessBehavior::alwaysDeny;
}

// The helper's write, after the write latency (slept with the lock free); false when the
// pasteboard is no longer the helper's, and then nothing is written. Returns with the lock held.
bool ownWrite(Live& live, std::unique_lock<std::mutex>& lock) {
    const double latencyMs = live.desktop.pasteboardWriteLatencyMs;
    if (latencyMs > 0) {
        lock.unlock();
        std::this_thread::sleep_for(sim::clockOffset(latencyMs));
        lock.lock();
    }
    return !live.helperOwnership || *live.helperOwnership == live.desktop.changeCount;
}

}  // namespace

Pasteboard generalPasteboard() {
    const auto live = sim::acquire();
    auto object = std::make_shared<PasteboardObject>();
    object->generation = live->generation;
    return Pasteboard{std::move(object)};
}

std::optional<std::vector<PasteboardItem>> pasteboardItems(const Pasteboard& pasteboard) {
    if (!pasteboard.object) {
        return std::nullopt;
    }
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    sim::logBoard(*live, "pasteboardItems", By::helper);
    std::vector<PasteboardItem> items;
    items.reserve(live->desktop.pasteboard.size());
    for (std::size_t i = 0; i < live->desktop.pasteboard.size(); ++i) {
        auto object = std::make_shared<PasteboardItemObject>();
        object->listed = true;
        object->generation = live->generation;
        object->index = i;
        object->changeCount = live->desktop.changeCount;
        items.push_back(PasteboardItem{std::move(object)});
    }
    return items;
}

std::vector<std::string> types(const PasteboardItem& item) {
    if (!item.object) {
        return {};
    }
    return withItemData(item, "types", [](const Live&, const sim::PasteboardItemData* data) {
        std::vector<std::string> names;
        if (data) {
            names.reserve(data->size());
            for (const auto& entry : *data) {
                names.push_back(entry.type);
            }
        }
        return names;
    });
}

std::optional<Bytes> dataForType(const PasteboardItem& item, const std::string& type) {
    if (!item.object) {
        return std::nullopt;
    }
    awaitData(*sim::acquire());
    return withItemData(
        item, "dataForType",
        [&](const Live& live, const sim::PasteboardItemData* data) -> std::optional<Bytes> {
            if (data && !denied(live)) {
                for (const auto& entry : *data) {
                    if (entry.type == type) {
                        return entry.data;
                    }
                }
            }
            return std::nullopt;
        });
}

std::int64_t changeCount(const Pasteboard& pasteboard) {
    if (!pasteboard.object) {
        return 0;
    }
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    sim::logBoard(*live, "changeCount", By::helper);
    return live->desktop.changeCount;
}

namespace {

std::int64_t clearAndOwn(const Pasteboard& pasteboard, std::optional<std::uint64_t> options) {
    if (!pasteboard.object) {
        return 0;
    }
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    const std::int64_t count = sim::clearBoard(*live, By::helper);
    live->log.pasteboard.back().options = options;
    live->helperOwnership = count;
    live->helperDid(sim::Trigger::pasteboardWrite);
    return count;
}

}  // namespace

std::int64_t clearContents(const Pasteboard& pasteboard) {
    return clearAndOwn(pasteboard, std::nullopt);
}

// Recorded as a clearContents that carries its options.
std::int64_t prepareForNewContents(const Pasteboard& pasteboard, std::uint64_t options) {
    return clearAndOwn(pasteboard, options);
}

PasteboardAccessBehavior accessBehavior(const Pasteboard& pasteboard) {
    if (!pasteboard.object) {
        return PasteboardAccessBehavior::defaultBehavior;
    }
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    return live->desktop.pasteboardAccess;
}

PasteboardItem newPasteboardItem() {
    sim::acquire();
    return PasteboardItem{std::make_shared<PasteboardItemObject>()};
}

bool setData(const PasteboardItem& item, Bytes data, const std::string& type) {
    if (!item.object || item.object->listed) {
        return false;
    }
    std::lock_guard lock(item.object->mutex);
    for (auto& entry : item.object->entries) {
        if (entry.type == type) {
            entry.data = std::move(data);
            return true;
        }
    }
    item.object->entries.push_back({type, std::move(data)});
    return true;
}

bool writeObjects(const Pasteboard& pasteboard, const std::vector<PasteboardItem>& items) {
    if (!pasteboard.object) {
        return false;
    }
    const auto live = sim::acquire();
    std::unique_lock lock(live->mutex);
    const bool owned = ownWrite(*live, lock);
    std::vector<sim::PasteboardItemData> written;
    written.reserve(items.size());
    bool writtenBefore = false;
    for (const auto& item : items) {
        if (!item.object) {
            continue;
        }
        if (item.object->listed) {
            const auto* data = listedData(*live, *item.object);
            written.push_back(data ? *data : sim::PasteboardItemData{});
        } else {
            std::lock_guard itemLock(item.object->mutex);
            writtenBefore = writtenBefore || item.object->handed;
            // A pasteboard the helper no longer owns turns the write down before it looks at
            // the items; one it owns takes them, even when it then refuses the write.
            item.object->handed = item.object->handed || owned;
            written.push_back(item.object->entries);
        }
    }
    const bool typeless =
        std::any_of(written.begin(), written.end(),
                    [](const sim::PasteboardItemData& item) { return item.empty(); });
    if (!owned || writtenBefore || (typeless && live->desktop.pasteboardRefusesTypelessItems)) {
        sim::logRefusedWrite(*live, "writeObjects", written);
        return false;
    }
    sim::writeBoard(*live, std::move(written), By::helper);
    live->helperDid(sim::Trigger::pasteboardWrite);
    return true;
}

bool setString(const Pasteboard& pasteboard, const std::string& text, const std::string& type) {
    if (!pasteboard.object) {
        return false;
    }
    const auto live = sim::acquire();
    std::unique_lock lock(live->mutex);
    if (!ownWrite(*live, lock)) {
        sim::logRefusedWrite(*live, "setString", {{{type, std::nullopt}}});
        return false;
    }
    sim::setBoardString(*live, text, type, By::helper);
    live->helperDid(sim::Trigger::pasteboardWrite);
    return true;
}

std::optional<std::string> stringForType(const Pasteboard& pasteboard, const std::string& type) {
    if (!pasteboard.object) {
        return std::nullopt;
    }
    const auto live = sim::acquire();
    awaitData(*live);
    std::lock_guard lock(live->mutex);
    std::optional<std::string> text = sim::boardString(*live, type, By::helper);
    return denied(*live) ? std::nullopt : text;
}

// Only an application the file gives a PRIMARY selection is read so; any other takes the chord.
QuietSelection selectionWithoutKeys() {
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    const auto& front = live->desktop.frontmost;
    const sim::App* app = front ? live->desktop.app(*front) : nullptr;
    if (app == nullptr || !app->primarySelection) {
        return {};
    }
    return {false, app->primarySelection->text};
}

}  // namespace platform
