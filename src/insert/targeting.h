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

enum class Activation {
    notNeeded,  // it had keyboard focus already
    done,       // asked, and it came to the front
    refused,    // asked every way, and it did not come to the front within the focus wait
};

// Brings the application to the front unless it has keyboard focus already. From macOS 14 the
// system may turn a request down: it asks with the front application as the source (which
// works when that application yielded), then plainly, then through the application element's
// AXFrontmost, each only when the one before did not bring the target to the front within
// frame::focusTimeoutMs.
Activation activate(const platform::RunningApplication& target);

// Settles the target of the request or ends the process with "focusChanged" or
// "selectionUnsettable".
Aim aim(const Into& into, std::string text, platform::Pid pid);

// Puts the caret where the mode wants it; true when it is there.
bool placeCaret(const std::optional<ax::Focus>& focus, InsertMode mode);

// The text as it should follow the value: on a line of its own after text that does not end
// with a line break.
std::string onNewLine(std::string text, const std::string& after);

}  // namespace insert
