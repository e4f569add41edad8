// The workspace on Linux: applications are processes, the front one is the X display's, the
// bundle identifier's stand-in is the application id its windows publish, and activation goes
// through the window manager or, without one, the X input focus.
#include "platform/workspace.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <signal.h>

#include "display.h"
#include "front.h"
#include "node.h"
#include "registry.h"
#include "unusable.h"
#include "windows.h"

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

bool waylandSession() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* session = std::getenv("XDG_SESSION_TYPE");
    return (wayland != nullptr && *wayland != '\0') ||
           (session != nullptr && std::strcmp(session, "wayland") == 0);
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

// Insert asks this of its target before it touches anything: in a Wayland session a process
// without an X11 window is a Wayland application, which X11 key events never reach, and the
// command ends here with that said.
bool isTerminated(const RunningApplication& app) {
    if (!app.object || !processExists(app.object->pid) || isZombie(app.object->pid)) {
        return true;
    }
    if (waylandSession() && !x11::hasX11Window(app.object->pid)) {
        atspi::unusable(
            "the target has no X11 window (a Wayland application): insert pastes with X11 key "
            "events, which reach X11 and XWayland windows only");
    }
    return false;
}

// Options do not matter here: nothing on X11 asks an application to yield first.
bool activateWithOptions(const RunningApplication& app, std::uint64_t /*options*/) {
    return app.object && x11::activate(app.object->pid);
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
