// AppKit workspace (NSWorkspace, NSRunningApplication) and the operating-system version test.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/types.h"

namespace platform {

struct RunningApplicationObject;
struct RunningApplication {
    std::shared_ptr<RunningApplicationObject> object;
};

// NSApplicationActivateIgnoringOtherApps.
inline constexpr std::uint64_t activateIgnoringOtherApps = 2;

// [[NSWorkspace sharedWorkspace] frontmostApplication], or absent.
std::optional<RunningApplication> frontmostApplication();

// +[NSRunningApplication runningApplicationWithProcessIdentifier:], or absent.
std::optional<RunningApplication> runningApplicationWithProcessIdentifier(Pid pid);

// -processIdentifier.
Pid processIdentifier(const RunningApplication& app);

// -bundleIdentifier, read afresh on every call; absent when the application has none.
std::optional<std::string> bundleIdentifier(const RunningApplication& app);

// -localizedName, read afresh on every call.
std::optional<std::string> localizedName(const RunningApplication& app);

// -isTerminated, or the process is gone: on macOS the flag alone can be stale, since it is
// refreshed only while the main run loop turns in a common mode.
bool isTerminated(const RunningApplication& app);

// -activateWithOptions:: asks the system to bring the application to the front.
bool activateWithOptions(const RunningApplication& app, std::uint64_t options);

// -activateFromApplication:options: (macOS 14 and later; false before): asks for activation
// with `from` as its source, which succeeds when `from` is active and has yielded to `app`.
bool activateFromApplication(const RunningApplication& app, const RunningApplication& from,
                             std::uint64_t options);

// -[NSProcessInfo isOperatingSystemAtLeastVersion:].
bool isOperatingSystemAtLeast(int major, int minor, int patch);

}  // namespace platform
