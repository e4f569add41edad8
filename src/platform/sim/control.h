// Control of the simulated desktop for in-process tests: install a desktop from its text, look
// at its state in the saved-file format, wait for the applications' reactions, and reset.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/accessibility.h"

namespace platform::sim {

/// Installs the desktop as if just loaded (time 0 now, empty lastRun, never saved); on failure
/// installs nothing and returns the detail ("desktop: <test>: ...").
std::optional<std::string> install(const std::string& jsonText);

/// The current desktop (loaded first if needed) in the saved-file format, with "lastRun".
nlohmann::json state();

/// Stops and removes the current desktop, joining its thread; the next platform call loads from
/// LARKSPIN_DESKTOP again.
void reset();

/// Waits until no reaction or timeline event is due within `upTo`.
void settle(std::chrono::milliseconds upTo);

/// A new handle (default time-out) for the element with this id in the app, as a test's way in
/// to any element; absent when the app or the id is not on the current desktop. Not logged.
std::optional<platform::Element> elementById(platform::Pid pid, const std::string& id);

/// The id of the element a handle names ("systemWide" for the system-wide element); absent for
/// a handle of another desktop or of an app that is not on it.
std::optional<std::string> idOf(const platform::Element& element);

}  // namespace platform::sim
