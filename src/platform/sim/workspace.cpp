// The workspace on the simulated desktop: running applications by pid, the frontmost one,
// activation requests, and the system version.
#include "platform/workspace.h"

#include "platform/sim/handles.h"
#include "platform/sim/runtime.h"

namespace platform {

namespace {

RunningApplication makeApplication(std::uint64_t generation, Pid pid) {
    auto object = std::make_shared<RunningApplicationObject>();
    object->generation = generation;
    object->pid = pid;
    return RunningApplication{std::move(object)};
}

// The application the handle names, on the current desktop; lock held.
const sim::App* lookUp(const sim::Live& live, const RunningApplication& app) {
    if (!app.object || app.object->generation != live.generation) {
        return nullptr;
    }
    return live.desktop.app(app.object->pid);
}

}  // namespace

std::optional<RunningApplication> frontmostApplication() {
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    const auto& frontmost = live->desktop.frontmost;
    if (!frontmost || live->desktop.app(*frontmost) == nullptr) {
        return std::nullopt;
    }
    return makeApplication(live->generation, *frontmost);
}

std::optional<RunningApplication> runningApplicationWithProcessIdentifier(Pid pid) {
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    if (live->desktop.app(pid) == nullptr) {
        return std::nullopt;
    }
    return makeApplication(live->generation, pid);
}

Pid processIdentifier(const RunningApplication& app) {
    return app.object ? app.object->pid : 0;
}

std::optional<std::string> bundleIdentifier(const RunningApplication& app) {
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    const sim::App* found = lookUp(*live, app);
    return found ? found->bundleId : std::nullopt;
}

std::optional<std::string> localizedName(const RunningApplication& app) {
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    const sim::App* found = lookUp(*live, app);
    return found ? found->name : std::nullopt;
}

bool isTerminated(const RunningApplication& app) {
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    const sim::App* found = lookUp(*live, app);
    return found == nullptr || found->terminated;
}

bool activateWithOptions(const RunningApplication& app, std::uint64_t options) {
    if (!app.object) {
        return false;
    }
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    if (app.object->generation != live->generation) {
        return false;
    }
    return sim::requestActivation(
        *live, {app.object->pid, options, 0, sim::ActivationVia::withOptions, std::nullopt});
}

bool activateFromApplication(const RunningApplication& app, const RunningApplication& from,
                             std::uint64_t options) {
    if (!app.object || !from.object) {
        return false;
    }
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    const std::array<int, 3> sonoma{14, 0, 0};
    if (app.object->generation != live->generation || live->desktop.version < sonoma) {
        return false;
    }
    return sim::requestActivation(*live, {app.object->pid, options, 0,
                                          sim::ActivationVia::fromApplication, from.object->pid});
}

bool isOperatingSystemAtLeast(int major, int minor, int patch) {
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    const auto& version = live->desktop.version;
    const std::array<int, 3> wanted{major, minor, patch};
    return version >= wanted;
}

}  // namespace platform
