// Writing the desktop back in its file format, with the record of the run.
#pragma once

#include <string>

#include "platform/sim/model.h"
#include "platform/sim/run_log.h"

namespace platform::sim {

/// The desktop as a file that loads again to the same state, plus "lastRun"; timeline events
/// that fired are left out.
std::string saveDesktop(const Desktop& desktop, const RunLog& log);

/// Writes the text to `path` atomically: a temporary file beside it, then a rename.
bool writeFileAtomically(const std::string& path, const std::string& text);

}  // namespace platform::sim
