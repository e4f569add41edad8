// The desktop writer: the model as compact JSON, in the same shapes the loader reads.
#include "platform/sim/save.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "platform/sim/base64.h"
#include "text/utf8.h"

namespace platform::sim {

namespace {

const char* triggerName(Trigger trigger) {
    switch (trigger) {
        case Trigger::commandC:
            return "commandC";
        case Trigger::commandV:
            return "commandV";
        case Trigger::activation:
            return "activation";
        case Trigger::pasteboardWrite:
            return "pasteboardWrite";
    }
    return "commandC";
}

const char* transformName(Transform transform) {
    switch (transform) {
        case Transform::none:
            return "none";
        case Transform::newlinesToSpaces:
            return "newlinesToSpaces";
        case Transform::trim:
            return "trim";
        case Transform::upper:
            return "upper";
        case Transform::nfd:
            return "nfd";
    }
    return "none";
}

const char* opName(CallOp op) {
    switch (op) {
        case CallOp::copy:
            return "copy";
        case CallOp::copyParam:
            return "copyParam";
        case CallOp::set:
            return "set";
        case CallOp::isSettable:
            return "isSettable";
    }
    return "copy";
}

const char* reactionName(ReactionKind kind) {
    switch (kind) {
        case ReactionKind::copy:
            return "copy";
        case ReactionKind::paste:
            return "paste";
        case ReactionKind::activation:
            return "activation";
    }
    return "copy";
}

const char* byName(By by) {
    switch (by) {
        case By::helper:
            return "helper";
        case By::app:
            return "app";
        case By::timeline:
            return "timeline";
    }
    return "helper";
}

using Json = nlohmann::ordered_json;

Json optionalPid(const std::optional<Pid>& pid) {
    return pid ? Json(*pid) : Json(nullptr);
}

Json optionalString(const std::optional<std::string>& text) {
    return text ? Json(*text) : Json(nullptr);
}

// A quantity such as a delay: integral values are written without a fraction.
Json quantity(double value) {
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15) {
        return static_cast<std::int64_t>(value);
    }
    return value;
}

// Milliseconds with one decimal.
Json millis(double value) {
    return std::isfinite(value) ? Json(static_cast<double>(std::llround(value * 10)) / 10) : Json();
}

Json keyMap(const std::array<std::u16string, 128>& keys, const std::bitset<128>& given) {
    Json map = Json::object();
    for (std::size_t code = 0; code < keys.size(); ++code) {
        if (given[code]) {
            map[std::to_string(code)] = text::fromUtf16(keys[code]);
        }
    }
    return map;
}

Json layout(const LayoutSlot& slot) {
    if (slot.kind == LayoutSlot::Kind::noData || !slot.layout) {
        return nullptr;
    }
    if (!slot.layout->name.empty()) {
        return slot.layout->name;
    }
    Json custom = {{"keys", keyMap(slot.layout->keys, slot.layout->given)}};
    if (slot.layout->commandGiven.any()) {
        custom["commandKeys"] = keyMap(slot.layout->commandKeys, slot.layout->commandGiven);
    }
    return custom;
}

Json items(const std::vector<PasteboardItemData>& list) {
    Json out = Json::array();
    for (const auto& item : list) {
        Json types = Json::array();
        for (const auto& entry : item) {
            Json type = {{"type", entry.type}};
            if (!entry.data) {
                type["data"] = nullptr;
            } else {
                const std::string_view bytes(reinterpret_cast<const char*>(entry.data->data()),
                                             entry.data->size());
                if (text::isValidUtf8(bytes)) {
                    type["text"] = bytes;
                } else {
                    type["base64"] = encodeBase64(*entry.data);
                }
            }
            types.push_back(std::move(type));
        }
        out.push_back(std::move(types));
    }
    return out;
}

Json optionalElement(const App& app, const std::optional<std::int32_t>& index) {
    if (index && *index >= 0 && static_cast<std::size_t>(*index) < app.nodes.size()) {
        return app.nodes[static_cast<std::size_t>(*index)].id;
    }
    return nullptr;
}

Json numbers(const char* form, std::initializer_list<double> list) {
    Json values = Json::array();
    for (const double n : list) {
        values.push_back(quantity(n));
    }
    return {{form, std::move(values)}};
}

Json valueJson(const App& app, const SimValue& value) {
    return std::visit(
        [&](const auto& v) -> Json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, NoValue>) {
                return nullptr;
            } else if constexpr (std::is_same_v<T, std::string> ||
                                 std::is_same_v<T, std::int64_t> || std::is_same_v<T, bool>) {
                return v;
            } else if constexpr (std::is_same_v<T, double>) {
                return std::isfinite(v) ? Json(v) : Json();
            } else if constexpr (std::is_same_v<T, Point>) {
                return numbers("point", {v.x, v.y});
            } else if constexpr (std::is_same_v<T, Size>) {
                return numbers("size", {v.width, v.height});
            } else if constexpr (std::is_same_v<T, Rect>) {
                return numbers("rect", {v.origin.x, v.origin.y, v.size.width, v.size.height});
            } else if constexpr (std::is_same_v<T, Range>) {
                return {{"range", {v.location, v.length}}};
            } else if constexpr (std::is_same_v<T, ElementRef>) {
                return {{"element", optionalElement(app, v.index)}};
            } else if constexpr (std::is_same_v<T, SimList>) {
                Json list = Json::array();
                for (const auto& item : v) {
                    list.push_back(valueJson(app, item));
                }
                return list;
            } else if constexpr (std::is_same_v<T, AttributedText>) {
                return {{"attributed", v.text}};
            } else if constexpr (std::is_same_v<T, OtherText>) {
                return {{"other", v.text}};
            } else {
                return {{"error", errorName(v.code)}};
            }
        },
        value.data);
}

Json attributes(const App& app, const std::vector<Attribute>& list) {
    Json out = Json::object();
    for (const auto& [name, attribute] : list) {
        out[name] = valueJson(app, attribute);
    }
    return out;
}

// Depth first with an explicit stack: a tree of hundreds of levels costs no recursion.
Json elementTree(const App& app) {
    struct Open {
        std::int32_t index;
        Json* children;  // the parent's "children", where this element goes
    };
    Json root;
    std::vector<Open> pending{{0, nullptr}};
    while (!pending.empty()) {
        const Open next = pending.back();
        pending.pop_back();
        const Node& node = app.nodes[static_cast<std::size_t>(next.index)];
        Json element = {{"id", node.id}, {"attributes", attributes(app, node.attributes)}};
        if (!node.settable.empty()) {
            element["settable"] = node.settable;
        }
        if (node.boundsForRange) {
            element["boundsForRange"] = valueJson(app, *node.boundsForRange);
        }
        if (node.selectionReadBack) {
            element["selectionReadBack"] = {node.selectionReadBack->location,
                                            node.selectionReadBack->length};
        }
        if (node.latencyMs > 0) {
            element["latencyMs"] = quantity(node.latencyMs);
        }
        if (!node.children.empty()) {
            element["children"] = Json::array();
        }
        Json& placed = next.children == nullptr ? (root = std::move(element))
                                                : next.children->emplace_back(std::move(element));
        if (!node.children.empty()) {
            Json& children = placed["children"];
            // Reserved first, so that the places handed out below stay where they are.
            children.get_ref<Json::array_t&>().reserve(node.children.size());
            for (auto child = node.children.rbegin(); child != node.children.rend(); ++child) {
                pending.push_back({*child, &children});
            }
        }
    }
    return root;
}

class Saver {
  public:
    Saver(const Desktop& desktop, const RunLog& log) : desktop(desktop), log(log) {}

    Json run() {
        Json file = {{"trusted", desktop.trusted},
                     {"systemVersion", desktop.systemVersion},
                     {"frontmost", optionalPid(desktop.frontmost)}};
        focusedApplication(file);
        // Written only where they differ from the default, so that older files read back the same.
        if (!desktop.postEventAccess) {
            file["postEventAccess"] = false;
        }
        if (desktop.secureInput) {
            file["secureInput"] = true;
        }
        if (desktop.heldModifiers.flags != 0) {
            const auto& held = desktop.heldModifiers;
            file["heldModifiers"] = {{"flags", held.flags},
                                     {"untilMs", held.untilMs ? quantity(*held.untilMs) : Json()}};
        }
        if (desktop.layoutsGiven) {
            Json layouts = Json::object();
            if (desktop.currentLayout.kind != LayoutSlot::Kind::absent) {
                layouts["current"] = layout(desktop.currentLayout);
            }
            if (desktop.asciiCapableLayout.kind != LayoutSlot::Kind::absent) {
                layouts["asciiCapable"] = layout(desktop.asciiCapableLayout);
            }
            file["layouts"] = std::move(layouts);
        }
        Json pasteboard = {{"changeCount", desktop.changeCount},
                           {"items", items(desktop.pasteboard)}};
        if (desktop.pasteboardReadLatencyMs > 0) {
            pasteboard["readLatencyMs"] = quantity(desktop.pasteboardReadLatencyMs);
        }
        if (desktop.pasteboardWriteLatencyMs > 0) {
            pasteboard["writeLatencyMs"] = quantity(desktop.pasteboardWriteLatencyMs);
        }
        if (desktop.pasteboardRefusesTypelessItems) {
            pasteboard["refusesTypelessItems"] = true;
        }
        if (desktop.pasteboardAccess != PasteboardAccessBehavior::defaultBehavior) {
            static constexpr const char* behaviors[] = {"default", "ask", "alwaysAllow",
                                                        "alwaysDeny"};
            pasteboard["accessBehavior"] = behaviors[static_cast<int>(desktop.pasteboardAccess)];
        }
        file["pasteboard"] = std::move(pasteboard);
        Json apps = Json::array();
        for (const App& app : desktop.apps) {
            apps.push_back(this->app(app));
        }
        file["apps"] = std::move(apps);
        Json timeline = Json::array();
        for (const TimelineEvent& event : desktop.timeline) {
            if (!event.fired) {
                timeline.push_back(this->event(event));
            }
        }
        file["timeline"] = std::move(timeline);
        file["lastRun"] = lastRun();
        return file;
    }

  private:
    void focusedApplication(Json& file) const {
        const auto& focused = desktop.focusedApplication;
        switch (focused.kind) {
            case FocusedApplication::Kind::followsFrontmost:
                return;
            case FocusedApplication::Kind::none:
                file["focusedApplication"] = nullptr;
                return;
            case FocusedApplication::Kind::fail:
                file["focusedApplication"] = "fail";
                return;
            case FocusedApplication::Kind::pid:
                file["focusedApplication"] = focused.pid;
                return;
        }
    }

    static Json app(const App& app) {
        Json out = {{"pid", app.pid},
                    {"bundleId", optionalString(app.bundleId)},
                    {"name", optionalString(app.name)},
                    {"terminated", app.terminated},
                    {"focused", optionalElement(app, app.focused)},
                    {"focusDelayMs", quantity(app.focusDelayMs)}};
        if (app.focusedWindow) {
            out["focusedWindow"] = optionalElement(app, app.focusedWindow);
        }
        out["activation"] = app.activation ? activation(*app.activation) : Json();
        if (app.copy) {
            Json copy = {{"delayMs", quantity(app.copy->delayMs)}};
            if (app.copy->text) {
                copy["text"] = *app.copy->text;
            }
            if (app.copy->items) {
                copy["items"] = items(*app.copy->items);
            }
            out["copy"] = std::move(copy);
        } else {
            out["copy"] = nullptr;
        }
        out["paste"] = app.paste ? Json{{"delayMs", quantity(app.paste->delayMs)},
                                        {"transform", transformName(app.paste->transform)}}
                                 : Json();
        if (app.treeOnRequest) {
            out["treeOnRequest"] = true;
        }
        if (app.primarySelection) {
            out["primarySelection"] =
                app.primarySelection->text ? Json(*app.primarySelection->text) : Json();
        }
        out["root"] = app.nodes.empty() ? Json() : elementTree(app);
        return out;
    }

    static Json activation(const ActivationReaction& reaction) {
        Json out = {{"delayMs", quantity(reaction.delayMs)}};
        if (reaction.refusesFromApplication || reaction.refusesWithOptions) {
            Json refuses = Json::array();
            if (reaction.refusesFromApplication) {
                refuses.push_back("fromApplication");
            }
            if (reaction.refusesWithOptions) {
                refuses.push_back("withOptions");
            }
            out["refuses"] = std::move(refuses);
        }
        return out;
    }

    Json event(const TimelineEvent& event) const {
        Json out = Json::object();
        if (event.atMs) {
            out["atMs"] = quantity(*event.atMs);
        } else {
            out["after"] = triggerName(event.after);
            out["delayMs"] = quantity(event.delayMs);
        }
        std::visit(
            [&](const auto& action) {
                using T = std::decay_t<decltype(action)>;
                if constexpr (std::is_same_v<T, PasteboardAction>) {
                    out["pasteboard"] = {{"items", items(action.items)}};
                } else if constexpr (std::is_same_v<T, FocusAction>) {
                    const App* app = desktop.app(action.pid);
                    out["focus"] = {
                        {"pid", action.pid},
                        {"element", app ? optionalElement(*app, action.element) : Json()}};
                } else if constexpr (std::is_same_v<T, FrontmostAction>) {
                    out["frontmost"] = optionalPid(action.pid);
                } else if constexpr (std::is_same_v<T, SetAction>) {
                    const App* app = desktop.app(action.pid);
                    Json set = {{"pid", action.pid}};
                    if (app) {
                        set["element"] = optionalElement(*app, action.element);
                        set["attributes"] = attributes(*app, action.attributes);
                    }
                    out["set"] = std::move(set);
                } else {
                    out["signal"] = "TERM";
                }
            },
            event.action);
        return out;
    }

    Json lastRun() const {
        Json events = Json::array();
        for (const auto& event : log.events) {
            events.push_back({{"type", event.keyDown ? "keyDown" : "keyUp"},
                              {"keyCode", event.keyCode},
                              {"flags", event.flags},
                              {"tap", event.tap},
                              {"atMs", millis(event.atMs)}});
        }
        Json activations = Json::array();
        for (const auto& activation : log.activations) {
            Json entry = {{"pid", activation.pid},
                          {"options", activation.options},
                          {"atMs", millis(activation.atMs)}};
            // Requests other than -activateWithOptions: say how they were made.
            if (activation.via == ActivationVia::fromApplication) {
                entry["via"] = "fromApplication";
                entry["from"] = optionalPid(activation.from);
            } else if (activation.via == ActivationVia::axFrontmost) {
                entry["via"] = "axFrontmost";
            }
            activations.push_back(std::move(entry));
        }
        Json calls = Json::array();
        for (const auto& call : log.calls) {
            // A pid that is not on the desktop has no element ids: "" keeps the key a string.
            const App* app = desktop.app(call.pid);
            std::string element;
            if (call.element == systemWideElement) {
                element = "systemWide";
            } else if (app && call.element >= 0 &&
                       static_cast<std::size_t>(call.element) < app->nodes.size()) {
                element = app->nodes[static_cast<std::size_t>(call.element)].id;
            }
            Json entry = {{"pid", call.pid},
                          {"element", std::move(element)},
                          {"op", opName(call.op)},
                          {"attribute", call.attribute},
                          {"atMs", millis(call.atMs)}};
            if (call.error != AXError::success) {
                entry["error"] = errorName(call.error);
            }
            calls.push_back(std::move(entry));
        }
        Json pasteboard = Json::array();
        for (const auto& operation : log.pasteboard) {
            Json entry = {{"op", operation.op},
                          {"by", byName(operation.by)},
                          {"atMs", millis(operation.atMs)}};
            if (operation.types) {
                entry["types"] = *operation.types;
            }
            if (operation.options) {
                entry["options"] = *operation.options;
            }
            if (operation.refused) {
                entry["refused"] = true;
            }
            if (operation.afterExit) {
                entry["afterExit"] = true;
            }
            pasteboard.push_back(std::move(entry));
        }
        Json reactions = Json::array();
        for (const auto& reaction : log.reactions) {
            reactions.push_back({{"pid", reaction.pid},
                                 {"kind", reactionName(reaction.kind)},
                                 {"dueMs", millis(reaction.dueMs)},
                                 {"afterExit", reaction.afterExit}});
        }
        return {{"events", std::move(events)},
                {"activations", std::move(activations)},
                {"calls", std::move(calls)},
                {"pasteboard", std::move(pasteboard)},
                {"reactions", std::move(reactions)}};
    }

    const Desktop& desktop;
    const RunLog& log;
};

}  // namespace

const char* errorName(AXError error) {
    switch (error) {
        case AXError::success:
            return "success";
        case AXError::failure:
            return "failure";
        case AXError::illegalArgument:
            return "illegalArgument";
        case AXError::invalidUIElement:
            return "invalidElement";
        case AXError::cannotComplete:
            return "cannotComplete";
        case AXError::attributeUnsupported:
            return "attributeUnsupported";
        case AXError::notImplemented:
            return "notImplemented";
        case AXError::apiDisabled:
            return "apiDisabled";
        case AXError::noValue:
            return "noValue";
    }
    return "failure";
}

std::string saveDesktop(const Desktop& desktop, const RunLog& log) {
    // Ill-formed UTF-8 in a value the helper wrote is saved as U+FFFD: the file stays JSON.
    return Saver(desktop, log).run().dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool writeFileAtomically(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tmp." + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            ::unlink(temporary.c_str());
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace platform::sim
