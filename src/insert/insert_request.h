// The insert request: the target process, the text, where it goes and the command's budgets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "frame/decode.h"
#include "platform/types.h"

namespace insert {

// Where the caret goes before the paste.
enum class InsertMode { replaceSelection, replaceField, afterSelection };

std::optional<InsertMode> insertModeFromRawValue(std::string_view raw);
std::string_view rawValue(InsertMode mode);

// The element that has keyboard focus, optionally required to have this fingerprint.
struct FocusTarget {
    std::optional<std::string> element;
    InsertMode mode = InsertMode::replaceSelection;
};

// The composer field with this fingerprint, found by search and focused by the command.
struct ComposerTarget {
    std::string element;
};

struct Into {
    using Focus = FocusTarget;
    using Composer = ComposerTarget;
    std::variant<Focus, Composer> target;
};

struct InsertRequest {
    platform::Pid pid = 0;
    std::string text;
    Into into;
    std::int64_t verifyTimeoutMs = 1000;
    std::int64_t settleMs = 300;
    std::int64_t deadlineMs = 4000;
};

// Throws frame::DecodeError naming the first faulty key.
Into decodeInto(parse::Value& value, const frame::Path& path);
InsertRequest decodeInsertRequest(parse::Value& request);

}  // namespace insert
