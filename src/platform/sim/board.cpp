// Pasteboard operations on the model.
#include "platform/sim/board.h"

#include "text/utf8.h"

namespace platform::sim {

PasteboardRecord& logBoard(Live& live, const char* op, By by) {
    PasteboardRecord& record = live.log.pasteboard.emplace_back();
    record.op = op;
    record.by = by;
    record.atMs = live.recordMs();
    record.afterExit = live.afterExit();
    return record;
}

namespace {

std::vector<std::vector<std::string>> typesOf(const std::vector<PasteboardItemData>& items) {
    std::vector<std::vector<std::string>> types;
    types.reserve(items.size());
    for (const auto& item : items) {
        auto& names = types.emplace_back();
        for (const auto& entry : item) {
            names.push_back(entry.type);
        }
    }
    return types;
}

}  // namespace

void logRefusedWrite(Live& live, const char* op, const std::vector<PasteboardItemData>& items) {
    PasteboardRecord& record = logBoard(live, op, By::helper);
    record.refused = true;
    record.types = typesOf(items);
}

std::int64_t clearBoard(Live& live, By by) {
    logBoard(live, "clearContents", by);
    live.desktop.pasteboard.clear();
    return ++live.desktop.changeCount;
}

void writeBoard(Live& live, std::vector<PasteboardItemData> items, By by) {
    logBoard(live, "writeObjects", by).types = typesOf(items);
    auto& board = live.desktop.pasteboard;
    for (auto& item : items) {
        board.push_back(std::move(item));
    }
}

void setBoardString(Live& live, std::string_view text, std::string_view type, By by) {
    logBoard(live, "setString", by).types.emplace(1, std::vector<std::string>{std::string(type)});
    auto& board = live.desktop.pasteboard;
    if (board.empty()) {
        board.emplace_back();
    }
    Bytes bytes(text.begin(), text.end());
    for (auto& entry : board.front()) {
        if (entry.type == type) {
            entry.data = std::move(bytes);
            return;
        }
    }
    board.front().push_back({std::string(type), std::move(bytes)});
}

std::optional<std::string> boardString(Live& live, std::string_view type, By by) {
    logBoard(live, "stringForType", by);
    for (const auto& item : live.desktop.pasteboard) {
        for (const auto& entry : item) {
            if (entry.type == type) {
                if (!entry.data) {
                    return std::nullopt;
                }
                const std::string_view bytes(reinterpret_cast<const char*>(entry.data->data()),
                                             entry.data->size());
                return text::toValidUtf8(bytes);
            }
        }
    }
    return std::nullopt;
}

}  // namespace platform::sim
