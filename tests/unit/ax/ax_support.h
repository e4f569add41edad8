// Helpers of the accessibility layer's tests: the call log of the current desktop.
#pragma once

#include <string>
#include <vector>

#include "unit/sim/sim_support.h"

namespace axtest {

using simtest::json;

inline json calls() {
    return platform::sim::state()["lastRun"]["calls"];
}

// The calls on one element, as "op attribute" strings, in order.
inline std::vector<std::string> callsOn(const std::string& element) {
    std::vector<std::string> result;
    for (const json& call : calls()) {
        if (call.value("element", "") == element) {
            result.push_back(call.value("op", "") + " " + call.value("attribute", ""));
        }
    }
    return result;
}

inline bool anyCall(const std::string& element, const std::string& attribute) {
    for (const json& call : calls()) {
        if (call.value("element", "") == element && call.value("attribute", "") == attribute) {
            return true;
        }
    }
    return false;
}

}  // namespace axtest
