// Finding an application's root by its pid: the registry's children are the applications'
// roots, and the bus itself tells which process owns each name.
#include "registry.h"

#include <map>
#include <mutex>
#include <vector>

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

std::optional<std::vector<Ref>> applicationRoots(int timeoutMs) {
    const Reply reply =
        call(Ref{registryBus, rootPath}, "org.a11y.atspi.Accessible", "GetChildren", {}, timeoutMs);
    return readRefs(reply);
}

std::optional<Ref> applicationRoot(Pid pid, int timeoutMs) {
    const auto all = applicationRoots(timeoutMs);
    if (!all) {
        return std::nullopt;
    }
    for (const Ref& root : *all) {
        if (pidOfBus(root.bus, timeoutMs) == pid) {
            return root;
        }
    }
    return std::nullopt;
}

bool unregistered(Pid pid, int timeoutMs) {
    const auto all = applicationRoots(timeoutMs);
    if (!all) {
        return false;
    }
    for (const Ref& root : *all) {
        const auto owner = pidOfBus(root.bus, timeoutMs);
        if (!owner || *owner == pid) {
            return false;  // an owner not told is not known to be somebody else
        }
    }
    return true;
}

}  // namespace platform::atspi
