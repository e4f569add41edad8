// Pasteboard operations on the model.
#include "platform/sim/board.h"

#include "text/utf8.h"

namespace platform::sim {

void logBoard(Live& live, const char* op, By by) {
    live.log.pasteboard.push_back({op, by, live.elapsedMs()});
}

std::int64_t clearBoard(Live& live, By by) {
    logBoard(live, "clearContents", by);
    live.desktop.pasteboard.clear();
    return ++live.desktop.changeCount;
}

void writeBoard(Live& live, std::vector<PasteboardItemData> items, By by) {
    logBoard(live, "writeObjects", by);
    auto& board = live.desktop.pasteboard;
    for (auto& item : items) {
        board.push_back(std::move(item));
    }
}

void setBoardString(Live& live, std::string_view text, std::string_view type, By by) {
    logBoard(live, "setString", by);
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
