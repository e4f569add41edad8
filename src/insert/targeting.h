// Targeting and caret placement: the target brought to the front, its element settled and the
// caret placed, the exact text to paste, and a way to read the target back. A target that is
// not as requested ends the process here, before the pasteboard is touched.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ax/focus.h"
#include "insert/insert_request.h"
#include "platform/workspace.h"

namespace insert {

using ReadBack = std::function<std::optional<std::string>()>;

struct Aim {
    std::string paste;
    std::optional<ReadBack> read;  // absent when the target cannot be read back
};

// Asks the application to come to the front unless it has keyboard focus already.
bool activate(const platform::RunningApplication& target);

// Settles the target of the request or ends the process with "focusChanged" or
// "selectionUnsettable".
Aim aim(const Into& into, std::string text, platform::Pid pid);

// Puts the caret where the mode wants it; true when it is there.
bool placeCaret(const std::optional<ax::Focus>& focus, InsertMode mode);

// The text as it should follow the value: on a line of its own after text that does not end
// with a line break.
std::string onNewLine(std::string text, const std::string& after);

}  // namespace insert
