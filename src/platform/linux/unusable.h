// How this backend's missing services end the command: through the handler the frame set.
#pragma once

#include <string>

namespace platform::atspi {

/// Reports that a service the command needs does not exist here; never returns.
[[noreturn]] void unusable(const std::string& detail);

}  // namespace platform::atspi
