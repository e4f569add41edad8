// The applications on the accessibility bus, as its registry lists them, and the process behind
// each bus name.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bus.h"
#include "platform/types.h"

namespace platform::atspi {

/// Every application's root as the registry lists them, or none when it does not answer.
std::optional<std::vector<Ref>> applicationRoots(int timeoutMs);

/// The root object of the application the process registered, or none.
std::optional<Ref> applicationRoot(Pid pid, int timeoutMs);

/// Whether the registry answered and lists no application of the process: the process is not on
/// the accessibility bus (xterm, a Qt application that has not registered).
bool unregistered(Pid pid, int timeoutMs);

/// The process that owns a bus name; remembered, since a name is never reused for another.
std::optional<Pid> pidOfBus(const std::string& bus, int timeoutMs);

}  // namespace platform::atspi
