// The Linux helper run on a headless desktop as its parent runs it.
#pragma once

#include <chrono>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "desktop.h"
#include "process/harness.h"

namespace linuxdesktop {

/// The helper with the command word and request; `env` adds to or overrides the desktop's
/// variables ("" takes one away).
inline harness::Run runHelper(const Desktop& desktop, const std::string& word,
                              const nlohmann::json& request,
                              const std::map<std::string, std::string>& env = {}) {
    harness::Options options;
    options.program = LARKSPIN_LINUX_HELPER_BINARY;
    options.args = {word};
    options.input = request.dump();
    options.env = desktop.env();
    for (const auto& [name, value] : env) {
        options.env[name] = value;
    }
    options.hardLimit = std::chrono::seconds(60);
    return harness::run(options);
}

}  // namespace linuxdesktop
