// The tests' control calls, over the process's current desktop.
#include "platform/sim/control.h"

#include "platform/sim/handles.h"
#include "platform/sim/runtime.h"

namespace platform::sim {

std::optional<std::string> install(const std::string& jsonText) {
    return installDesktop(jsonText);
}

nlohmann::json state() {
    const auto live = acquire();
    std::string text;
    {
        std::lock_guard lock(live->mutex);
        text = live->serialize();
    }
    return nlohmann::json::parse(text);
}

void reset() {
    resetDesktop();
}

void settle(std::chrono::milliseconds upTo) {
    acquire()->settle(upTo);
}

std::optional<platform::Element> elementById(platform::Pid pid, const std::string& id) {
    const auto live = acquire();
    std::lock_guard lock(live->mutex);
    const App* app = live->desktop.app(pid);
    if (app == nullptr) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < app->nodes.size(); ++i) {
        if (app->nodes[i].id == id) {
            return makeElement(live->generation, pid, static_cast<std::int32_t>(i));
        }
    }
    return std::nullopt;
}

std::optional<std::string> idOf(const platform::Element& element) {
    if (!element.object) {
        return std::nullopt;
    }
    const auto live = acquire();
    std::lock_guard lock(live->mutex);
    if (element.object->generation != live->generation) {
        return std::nullopt;
    }
    if (element.object->element == systemWideElement) {
        return "systemWide";
    }
    const App* app = live->desktop.app(element.object->pid);
    const std::int32_t index = element.object->element;
    if (app == nullptr || index < 0 || static_cast<std::size_t>(index) >= app->nodes.size()) {
        return std::nullopt;
    }
    return app->nodes[static_cast<std::size_t>(index)].id;
}

}  // namespace platform::sim
