// The copy probe: Command-C on the user's behalf, the copied text read off the pasteboard, and
// the user's pasteboard put back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace clipboard {

struct Probe {
    bool ran = false;      // Command-C was posted
    bool changed = false;  // the change count moved before the time-out
    std::optional<std::string> text;
    bool restored = false;  // the user's items were put back

    // Runs on the main thread; borrows the pasteboard under the parking protocol. When no copy
    // is seen in time the snapshot stays parked, for the caller's reply to look once more
    // (restoreParked) and for the watchdog.
    static Probe run(std::int64_t timeoutMs);

    // "ran", "changed" and "restored"; the text is reported by the caller.
    nlohmann::json json() const;
};

}  // namespace clipboard
