// Reading what a run left in the saved desktop: the helper's pasteboard operations, its restores
// (writes without the marker its own text carries) and the applications' reactions.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace afterrun {

using nlohmann::json;

inline constexpr const char* transientMarker = "org.nspasteboard.TransientType";

// The lastRun.pasteboard records of this operation by this writer.
inline json records(const json& desktop, const std::string& op, const std::string& by = "helper") {
    json found = json::array();
    for (const json& entry : desktop["lastRun"]["pasteboard"]) {
        if (entry["op"] == op && entry["by"] == by) {
            found.push_back(entry);
        }
    }
    return found;
}

inline bool marked(const json& write) {
    for (const json& item : write.value("types", json::array())) {
        for (const json& type : item) {
            if (type == transientMarker) {
                return true;
            }
        }
    }
    return false;
}

// The helper's writes that gave the user's items back: every write of its own but the marked
// one that carries the text to paste.
inline int restores(const json& desktop) {
    int count = 0;
    for (const json& write : records(desktop, "writeObjects")) {
        count += !marked(write) && !write.value("refused", false) ? 1 : 0;
    }
    return count;
}

// The lastRun.reactions entries of this kind ("copy", "paste", "activation").
inline json reactions(const json& desktop, const std::string& kind) {
    json found = json::array();
    for (const json& entry : desktop["lastRun"]["reactions"]) {
        if (entry["kind"] == kind) {
            found.push_back(entry);
        }
    }
    return found;
}

}  // namespace afterrun
