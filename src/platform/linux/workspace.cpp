// The workspace on Linux: applications are processes, the front one is the X display's, and
// the bundle identifier's stand-in is the application id its windows publish.
#include "platform/workspace.h"

#include <cerrno>
#include <fstream>
#include <signal.h>

#include "display.h"
#include "front.h"
#include "node.h"
#include "registry.h"

namespace platform {

namespace {

// Workspace reads have no messaging time-out of their own: a short one, as on the first
// lookups of the accessibility bus.
constexpr int nameTimeoutMs = 500;

bool processExists(Pid pid) {
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

// The state letter of /proc/<pid>/stat: a zombie has ended, whatever kill says.
bool isZombie(Pid pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return false;
    }
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

std::optional<std::string> commandName(Pid pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    if (!std::getline(comm, name) || name.empty()) {
        return std::nullopt;
    }
    return name;
}

RunningApplication application(Pid pid) {
    return RunningApplication{std::make_shared<RunningApplicationObject>(pid)};
}

}  // namespace

std::optional<RunningApplication> frontmostApplication() {
    const auto pid = atspi::frontPid(nameTimeoutMs);
    return pid && processExists(*pid) ? std::optional(application(*pid)) : std::nullopt;
}

std::optional<RunningApplication> runningApplicationWithProcessIdentifier(Pid pid) {
    return processExists(pid) && !isZombie(pid) ? std::optional(application(pid)) : std::nullopt;
}

Pid processIdentifier(const RunningApplication& app) {
    return app.object ? app.object->pid : 0;
}

std::optional<std::string> bundleIdentifier(const RunningApplication& app) {
    return app.object ? atspi::applicationId(app.object->pid) : std::nullopt;
}

std::optional<std::string> localizedName(const RunningApplication& app) {
    if (!app.object) {
        return std::nullopt;
    }
    if (const auto root = atspi::applicationRoot(app.object->pid, nameTimeoutMs)) {
        const auto name = atspi::stringProperty(atspi::Target{*root, nameTimeoutMs},
                                                atspi::accessibleInterface, "Name");
        if (name.ok() && !name.value->empty()) {
            return name.value;
        }
    }
    return commandName(app.object->pid);
}

bool isTerminated(const RunningApplication& app) {
    return !app.object || !processExists(app.object->pid) || isZombie(app.object->pid);
}

bool activateWithOptions(const RunningApplication& /*app*/, std::uint64_t /*options*/) {
    // Raising another application's window needs a window manager's cooperation, which comes
    // with the backend's key events; until then it answers as the other unavailable services.
    return false;
}

bool activateFromApplication(const RunningApplication& /*app*/, const RunningApplication& /*from*/,
                             std::uint64_t /*options*/) {
    return false;
}

bool isOperatingSystemAtLeast(int /*major*/, int /*minor*/, int /*patch*/) {
    // The version tests ask for macOS releases.
    return false;
}

}  // namespace platform
