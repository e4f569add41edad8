// Building the benchmark desktops.
#include "scenes.h"

#include <string>

#include "support/desktop_json.h"

namespace scenes {

using desktopjson::element;
using desktopjson::frame;
using desktopjson::json;
using desktopjson::merged;

namespace {

json withLatency(json node, int latencyMs) {
    node["latencyMs"] = latencyMs;
    if (node.contains("children")) {
        for (json& child : node["children"]) {
            child = withLatency(child, latencyMs);
        }
    }
    return node;
}

}  // namespace

json largeChat(int latencyMs) {
    json sidebar = json::array();
    for (int group = 0; group < 110; ++group) {
        json buttons = json::array();
        for (int button = 0; button < 20; ++button) {
            const std::string id = "b" + std::to_string(group) + "-" + std::to_string(button);
            buttons.push_back(element(id, {{"AXRole", "AXButton"}, {"AXTitle", "channel " + id}}));
        }
        sidebar.push_back(
            element("g" + std::to_string(group), {{"AXRole", "AXGroup"}}, {{"children", buttons}}));
    }
    json rows = json::array();
    for (int row = 0; row < 200; ++row) {
        const std::string n = std::to_string(row);
        rows.push_back(element(
            "row" + n, {{"AXRole", "AXGroup"}, {"AXDOMClassList", {"message"}}},
            {{"children",
              {element("text" + n, merged({{"AXRole", "AXStaticText"}, {"AXValue", "message " + n}},
                                          frame(10, 10.0 * row, 400, 18))),
               element("time" + n, {{"AXRole", "AXStaticText"}, {"AXValue", "09:" + n}})}}}));
    }
    const json list = element("list", {{"AXRole", "AXList"}, {"AXDescription", "Messages"}},
                              {{"children", rows}});
    const json composer =
        desktopjson::textArea("composer", "", {{"AXPlaceholderValue", "Message"}});
    const json main =
        element("main", {{"AXRole", "AXGroup"}},
                {{"children",
                  {list,
                   element("scroll", merged({{"AXRole", "AXScrollArea"}}, frame(0, 0, 400, 60)),
                           {{"children", {composer}}}),
                   element("me", {{"AXRole", "AXButton"},
                                  {"AXDOMClassList", {"current-user"}},
                                  {"AXDescription", "Ada"}})}}});
    const json window =
        element("window", {{"AXRole", "AXWindow"}},
                {{"children",
                  {element("sidebar", {{"AXRole", "AXGroup"}}, {{"children", sidebar}}), main}}});
    const json root = withLatency(
        element("root", {{"AXRole", "AXApplication"}}, {{"children", {window}}}), latencyMs);
    return {{"frontmost", 501},
            {"layouts", {{"current", "us"}}},
            {"pasteboard", {{"changeCount", 1}, {"items", {desktopjson::plainText("user")}}}},
            {"apps",
             {desktopjson::app(501, root,
                               {{"bundleId", "com.example.chat"},
                                {"focused", "text199"},
                                {"copy", {{"delayMs", 5}, {"text", "copied"}}}})}}};
}

json largeChatRequest() {
    return {{"conversation",
             {{"budgetMs", 400},
              {"readers",
               {{"com.example.chat",
                 {{"list", {{{"role", "AXList"}}}},
                  {"rows", 20},
                  {"depth", 2},
                  {"skipClasses", json::array()},
                  {"me", {{"role", "AXButton"}, {"domClass", "current-user"}}},
                  {"trustsAxSelection", false}}}}}}}};
}

json pastingField(int pasteDelayMs) {
    const json field =
        desktopjson::textArea("field", "", {{"AXSelectedTextRange", {{"range", {0, 0}}}}});
    return {{"frontmost", 601},
            {"layouts", {{"current", "us"}}},
            {"pasteboard", {{"changeCount", 1}, {"items", {desktopjson::plainText("user")}}}},
            {"apps",
             {desktopjson::app(
                 601, element("root", {{"AXRole", "AXApplication"}}, {{"children", {field}}}),
                 {{"focused", "field"}, {"paste", {{"delayMs", pasteDelayMs}}}})}}};
}

}  // namespace scenes
