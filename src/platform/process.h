// The two hooks between the process frame and the backend: the backend's last act before the
// reply line is written, and the way a backend that cannot serve at all reports it.
#pragma once

#include <string>

namespace platform {

// Called once, just before the reply line is written, by whichever thread writes it.
void beforeExit();

// A backend that cannot serve at all (say, an unreadable simulated desktop) calls the handler
// with a description; the handler ends the process with an "internal" reply and never returns.
using UnusableHandler = void (*)(const std::string& detail);
void onUnusable(UnusableHandler handler);

}  // namespace platform
