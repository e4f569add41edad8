// Building desktop files in tests: elements, applications and common attribute sets.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace desktopjson {

using nlohmann::json;

inline json merged(json base, const json& more) {
    for (const auto& [key, value] : more.items()) {
        base[key] = value;
    }
    return base;
}

inline json element(const std::string& id, const json& attributes = json::object(),
                    const json& extra = json::object()) {
    return merged({{"id", id}, {"attributes", attributes.is_null() ? json::object() : attributes}},
                  extra);
}

inline json app(int pid, const json& root, const json& extra = json::object()) {
    return merged({{"pid", pid},
                   {"bundleId", "com.example." + std::to_string(pid)},
                   {"name", "App " + std::to_string(pid)},
                   {"root", root}},
                  extra);
}

// A desktop whose frontmost application has this one window, the element `focused` its focus.
inline json frontWindow(int pid, const json& window, const std::string& focused) {
    return {{"frontmost", pid},
            {"apps",
             {app(pid, element("root", {{"AXRole", "AXApplication"}}, {{"children", {window}}}),
                  {{"focused", focused}})}}};
}

inline json frame(double x, double y, double w, double h) {
    return {{"AXPosition", {{"point", {x, y}}}}, {"AXSize", {{"size", {w, h}}}}};
}

inline json range(std::int64_t location, std::int64_t length) {
    return {{"range", {location, length}}};
}

// An editable text area as chat composers and editors have them.
inline json textArea(const std::string& id, const std::string& value, const json& more = {}) {
    return element(
        id,
        merged(merged({{"AXRole", "AXTextArea"}, {"AXValue", value}}, frame(0, 0, 200, 40)),
               more.is_null() ? json::object() : more),
        {{"settable", {"AXValue", "AXSelectedTextRange", "AXFocused"}}});
}

inline json plainText(const std::string& text) {
    return json::array({{{"type", "public.utf8-plain-text"}, {"text", text}}});
}

}  // namespace desktopjson
