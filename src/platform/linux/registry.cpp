// Finding an application's root by its pid: the registry's children are the applications'
// roots, and the bus itself tells which process owns each name.
#include "registry.h"

#include <map>
#include <mutex>

namespace platform::atspi {

namespace {

std::mutex mutex;
std::map<std::string, Pid>& owners() {
    static auto* const map = new std::map<std::string, Pid>;  // kept until the process ends
    return *map;
}

}  // namespace

std::optional<Pid> pidOfBus(const std::string& bus, int timeoutMs) {
    {
        std::lock_guard lock(mutex);
        if (const auto found = owners().find(bus); found != owners().end()) {
            return found->second;
        }
    }
    const auto pid = processOf(bus, timeoutMs);
    if (pid) {
        std::lock_guard lock(mutex);
        owners().emplace(bus, *pid);
    }
    return pid;
}

std::optional<Ref> applicationRoot(Pid pid, int timeoutMs) {
    const Reply reply =
        call(Ref{registryBus, rootPath}, "org.a11y.atspi.Accessible", "GetChildren", {}, timeoutMs);
    const auto roots = readRefs(reply);
    if (!roots) {
        return std::nullopt;
    }
    for (const Ref& root : *roots) {
        if (pidOfBus(root.bus, timeoutMs) == pid) {
            return root;
        }
    }
    return std::nullopt;
}

}  // namespace platform::atspi
