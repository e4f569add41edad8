// Which application is in front: the X display's answer, or, where X11 knows no front window (a
// Wayland session's native applications), the application whose window AT-SPI reports ACTIVE.
#pragma once

#include <optional>

#include "platform/types.h"

namespace platform::atspi {

std::optional<Pid> frontPid(int timeoutMs);

}  // namespace platform::atspi
