// The general pasteboard's operations on the model, shared by the helper's calls, the
// applications' copies and pastes and the timeline; each is logged with who did it. Lock held.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/live.h"

namespace platform::sim {

/// The new record, for the caller to add what it knows.
PasteboardRecord& logBoard(Live& live, const char* op, By by);

/// A write of the helper's that the pasteboard refused: recorded with what it would have written.
void logRefusedWrite(Live& live, const char* op, const std::vector<PasteboardItemData>& items);

/// Empties the pasteboard; the change count moves by one.
std::int64_t clearBoard(Live& live, By by);

/// Adds the items after the ones there; the change count stays.
void writeBoard(Live& live, std::vector<PasteboardItemData> items, By by);

/// Sets the type on the first item, or puts a new item when the pasteboard is empty (as it is
/// right after a clear); the change count stays.
void setBoardString(Live& live, std::string_view text, std::string_view type, By by);

/// The data of the first item that has the type, as valid UTF-8.
std::optional<std::string> boardString(Live& live, std::string_view type, By by);

}  // namespace platform::sim
