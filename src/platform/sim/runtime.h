// The process's current simulated desktop: loaded on the first platform call, replaced by the
// tests' control calls, saved by beforeExit.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/sim/live.h"

namespace platform::sim {

/// The current desktop, loading it first if needed. A desktop that cannot be loaded is
/// reported through the unusable handler, and then this never returns.
std::shared_ptr<Live> acquire();

/// Installs a desktop from its text as if just loaded, never saved; the detail on failure.
std::optional<std::string> installDesktop(const std::string& text);

/// Stops and drops the current desktop; the next call loads from the environment again.
void resetDesktop();

/// Saves the current desktop to its file, if it was loaded from one, after carrying out the
/// reactions still due: the run is over.
void saveCurrentDesktop();

}  // namespace platform::sim
