// The hooks between the process frame and the backend: the backend's last act before the reply
// line is written, the way a backend that cannot serve at all reports it, and the processes a
// backend starts of its own.
#pragma once

#include <string>

namespace platform {

// Called once, just before the reply line is written, by whichever thread writes it.
void beforeExit();

// A backend that cannot serve at all (say, an unreadable simulated desktop) calls the handler
// with a description; the handler ends the process with an "internal" reply and never returns.
using UnusableHandler = void (*)(const std::string& detail);
void onUnusable(UnusableHandler handler);

// A process a backend starts for itself, with a command word of its own that no parent uses
// (the Linux backend's clipboard keeper): runs it and never returns when the word names one;
// returns at once for any other word. Called before anything else looks at the word.
void runBackendProcess(const std::string& word);

}  // namespace platform
