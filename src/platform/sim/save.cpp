// The desktop writer: the model straight into compact JSON, in the same shapes the loader reads.
#include "platform/sim/save.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

#include "platform/sim/base64.h"
#include "platform/sim/json_writer.h"
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

class Saver {
  public:
    Saver(const Desktop& desktop, const RunLog& log) : desktop(desktop), log(log) {}

    std::string run() {
        w.beginObject();
        w.key("trusted");
        w.boolean(desktop.trusted);
        w.key("systemVersion");
        w.string(desktop.systemVersion);
        w.key("frontmost");
        optionalPid(desktop.frontmost);
        focusedApplication();
        layouts();
        w.key("pasteboard");
        w.beginObject();
        w.key("changeCount");
        w.integer(desktop.changeCount);
        w.key("items");
        items(desktop.pasteboard);
        if (desktop.pasteboardReadLatencyMs > 0) {
            w.key("readLatencyMs");
            w.quantity(desktop.pasteboardReadLatencyMs);
        }
        if (desktop.pasteboardWriteLatencyMs > 0) {
            w.key("writeLatencyMs");
            w.quantity(desktop.pasteboardWriteLatencyMs);
        }
        if (desktop.pasteboardRefusesTypelessItems) {
            w.key("refusesTypelessItems");
            w.boolean(true);
        }
        w.endObject();
        w.key("apps");
        w.beginArray();
        for (const App& app : desktop.apps) {
            this->app(app);
        }
        w.endArray();
        w.key("timeline");
        w.beginArray();
        for (const TimelineEvent& event : desktop.timeline) {
            if (!event.fired) {
                this->event(event);
            }
        }
        w.endArray();
        lastRun();
        w.endObject();
        return std::move(w.text());
    }

  private:
    void optionalPid(const std::optional<Pid>& pid) {
        if (pid) {
            w.integer(*pid);
        } else {
            w.null();
        }
    }

    void focusedApplication() {
        const auto& focused = desktop.focusedApplication;
        switch (focused.kind) {
            case FocusedApplication::Kind::followsFrontmost:
                return;
            case FocusedApplication::Kind::none:
                w.key("focusedApplication");
                w.null();
                return;
            case FocusedApplication::Kind::fail:
                w.key("focusedApplication");
                w.string("fail");
                return;
            case FocusedApplication::Kind::pid:
                w.key("focusedApplication");
                w.integer(focused.pid);
                return;
        }
    }

    void layouts() {
        if (!desktop.layoutsGiven) {
            return;
        }
        w.key("layouts");
        w.beginObject();
        layout("current", desktop.currentLayout);
        layout("asciiCapable", desktop.asciiCapableLayout);
        w.endObject();
    }

    void layout(const char* key, const LayoutSlot& slot) {
        if (slot.kind == LayoutSlot::Kind::absent) {
            return;
        }
        w.key(key);
        if (slot.kind == LayoutSlot::Kind::noData || !slot.layout) {
            w.null();
            return;
        }
        if (!slot.layout->name.empty()) {
            w.string(slot.layout->name);
            return;
        }
        w.beginObject();
        w.key("keys");
        keyMap(slot.layout->keys, slot.layout->given);
        if (slot.layout->commandGiven.any()) {
            w.key("commandKeys");
            keyMap(slot.layout->commandKeys, slot.layout->commandGiven);
        }
        w.endObject();
    }

    void keyMap(const std::array<std::u16string, 128>& keys, const std::bitset<128>& given) {
        w.beginObject();
        for (std::size_t code = 0; code < keys.size(); ++code) {
            if (given[code]) {
                w.key(std::to_string(code));
                w.string(text::fromUtf16(keys[code]));
            }
        }
        w.endObject();
    }

    void items(const std::vector<PasteboardItemData>& list) {
        w.beginArray();
        for (const auto& item : list) {
            w.beginArray();
            for (const auto& entry : item) {
                w.beginObject();
                w.key("type");
                w.string(entry.type);
                if (!entry.data) {
                    w.key("data");
                    w.null();
                } else {
                    const std::string_view bytes(reinterpret_cast<const char*>(entry.data->data()),
                                                 entry.data->size());
                    if (text::isValidUtf8(bytes)) {
                        w.key("text");
                        w.string(bytes);
                    } else {
                        w.key("base64");
                        w.string(encodeBase64(*entry.data));
                    }
                }
                w.endObject();
            }
            w.endArray();
        }
        w.endArray();
    }

    void app(const App& app) {
        w.beginObject();
        w.key("pid");
        w.integer(app.pid);
        w.key("bundleId");
        optionalString(app.bundleId);
        w.key("name");
        optionalString(app.name);
        w.key("terminated");
        w.boolean(app.terminated);
        w.key("focused");
        optionalElement(app, app.focused);
        w.key("focusDelayMs");
        w.quantity(app.focusDelayMs);
        if (app.focusedWindow) {
            w.key("focusedWindow");
            optionalElement(app, app.focusedWindow);
        }
        w.key("activation");
        if (app.activation) {
            w.beginObject();
            w.key("delayMs");
            w.quantity(app.activation->delayMs);
            w.endObject();
        } else {
            w.null();
        }
        w.key("copy");
        if (app.copy) {
            w.beginObject();
            w.key("delayMs");
            w.quantity(app.copy->delayMs);
            if (app.copy->text) {
                w.key("text");
                w.string(*app.copy->text);
            }
            if (app.copy->items) {
                w.key("items");
                items(*app.copy->items);
            }
            w.endObject();
        } else {
            w.null();
        }
        w.key("paste");
        if (app.paste) {
            w.beginObject();
            w.key("delayMs");
            w.quantity(app.paste->delayMs);
            w.key("transform");
            w.string(transformName(app.paste->transform));
            w.endObject();
        } else {
            w.null();
        }
        w.key("root");
        if (app.nodes.empty()) {
            w.null();
        } else {
            element(app, 0);
        }
        w.endObject();
    }

    void optionalString(const std::optional<std::string>& text) {
        if (text) {
            w.string(*text);
        } else {
            w.null();
        }
    }

    void optionalElement(const App& app, const std::optional<std::int32_t>& index) {
        if (index && *index >= 0 && static_cast<std::size_t>(*index) < app.nodes.size()) {
            w.string(app.nodes[static_cast<std::size_t>(*index)].id);
        } else {
            w.null();
        }
    }

    void element(const App& app, std::int32_t index) {
        const Node& node = app.nodes[static_cast<std::size_t>(index)];
        w.beginObject();
        w.key("id");
        w.string(node.id);
        w.key("attributes");
        w.beginObject();
        for (const auto& [name, value] : node.attributes) {
            w.key(name);
            this->value(app, value);
        }
        w.endObject();
        if (!node.settable.empty()) {
            w.key("settable");
            w.beginArray();
            for (const auto& name : node.settable) {
                w.string(name);
            }
            w.endArray();
        }
        if (node.boundsForRange) {
            w.key("boundsForRange");
            value(app, *node.boundsForRange);
        }
        if (node.selectionReadBack) {
            w.key("selectionReadBack");
            w.beginArray();
            w.integer(node.selectionReadBack->location);
            w.integer(node.selectionReadBack->length);
            w.endArray();
        }
        if (node.latencyMs > 0) {
            w.key("latencyMs");
            w.quantity(node.latencyMs);
        }
        if (!node.children.empty()) {
            w.key("children");
            w.beginArray();
            for (const std::int32_t child : node.children) {
                element(app, child);
            }
            w.endArray();
        }
        w.endObject();
    }

    void numbers(const char* form, std::initializer_list<double> list) {
        w.beginObject();
        w.key(form);
        w.beginArray();
        for (const double n : list) {
            w.quantity(n);
        }
        w.endArray();
        w.endObject();
    }

    void value(const App& app, const SimValue& value) {
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, NoValue>) {
                    w.null();
                } else if constexpr (std::is_same_v<T, std::string>) {
                    w.string(v);
                } else if constexpr (std::is_same_v<T, std::int64_t>) {
                    w.integer(v);
                } else if constexpr (std::is_same_v<T, double>) {
                    w.real(v);
                } else if constexpr (std::is_same_v<T, bool>) {
                    w.boolean(v);
                } else if constexpr (std::is_same_v<T, Point>) {
                    numbers("point", {v.x, v.y});
                } else if constexpr (std::is_same_v<T, Size>) {
                    numbers("size", {v.width, v.height});
                } else if constexpr (std::is_same_v<T, Rect>) {
                    numbers("rect", {v.origin.x, v.origin.y, v.size.width, v.size.height});
                } else if constexpr (std::is_same_v<T, Range>) {
                    w.beginObject();
                    w.key("range");
                    w.beginArray();
                    w.integer(v.location);
                    w.integer(v.length);
                    w.endArray();
                    w.endObject();
                } else if constexpr (std::is_same_v<T, ElementRef>) {
                    w.beginObject();
                    w.key("element");
                    optionalElement(app, v.index);
                    w.endObject();
                } else if constexpr (std::is_same_v<T, SimList>) {
                    w.beginArray();
                    for (const auto& item : v) {
                        this->value(app, item);
                    }
                    w.endArray();
                } else if constexpr (std::is_same_v<T, AttributedText>) {
                    w.beginObject();
                    w.key("attributed");
                    w.string(v.text);
                    w.endObject();
                } else if constexpr (std::is_same_v<T, OtherText>) {
                    w.beginObject();
                    w.key("other");
                    w.string(v.text);
                    w.endObject();
                } else {
                    w.beginObject();
                    w.key("error");
                    w.string(errorName(v.code));
                    w.endObject();
                }
            },
            value.data);
    }

    void event(const TimelineEvent& event) {
        w.beginObject();
        if (event.atMs) {
            w.key("atMs");
            w.quantity(*event.atMs);
        } else {
            w.key("after");
            w.string(triggerName(event.after));
            w.key("delayMs");
            w.quantity(event.delayMs);
        }
        std::visit(
            [&](const auto& action) {
                using T = std::decay_t<decltype(action)>;
                if constexpr (std::is_same_v<T, PasteboardAction>) {
                    w.key("pasteboard");
                    w.beginObject();
                    w.key("items");
                    items(action.items);
                    w.endObject();
                } else if constexpr (std::is_same_v<T, FocusAction>) {
                    w.key("focus");
                    w.beginObject();
                    w.key("pid");
                    w.integer(action.pid);
                    w.key("element");
                    const App* app = desktop.app(action.pid);
                    if (app) {
                        optionalElement(*app, action.element);
                    } else {
                        w.null();
                    }
                    w.endObject();
                } else if constexpr (std::is_same_v<T, FrontmostAction>) {
                    w.key("frontmost");
                    optionalPid(action.pid);
                } else if constexpr (std::is_same_v<T, SetAction>) {
                    const App* app = desktop.app(action.pid);
                    w.key("set");
                    w.beginObject();
                    w.key("pid");
                    w.integer(action.pid);
                    if (app) {
                        w.key("element");
                        optionalElement(*app, action.element);
                        w.key("attributes");
                        w.beginObject();
                        for (const auto& [name, value] : action.attributes) {
                            w.key(name);
                            this->value(*app, value);
                        }
                        w.endObject();
                    }
                    w.endObject();
                } else {
                    w.key("signal");
                    w.string("TERM");
                }
            },
            event.action);
        w.endObject();
    }

    void lastRun() {
        w.key("lastRun");
        w.beginObject();
        w.key("events");
        w.beginArray();
        for (const auto& event : log.events) {
            w.beginObject();
            w.key("type");
            w.string(event.keyDown ? "keyDown" : "keyUp");
            w.key("keyCode");
            w.integer(event.keyCode);
            w.key("flags");
            w.unsignedInteger(event.flags);
            w.key("tap");
            w.integer(event.tap);
            w.key("atMs");
            w.millis(event.atMs);
            w.endObject();
        }
        w.endArray();
        w.key("activations");
        w.beginArray();
        for (const auto& activation : log.activations) {
            w.beginObject();
            w.key("pid");
            w.integer(activation.pid);
            w.key("options");
            w.unsignedInteger(activation.options);
            w.key("atMs");
            w.millis(activation.atMs);
            w.endObject();
        }
        w.endArray();
        w.key("calls");
        w.beginArray();
        for (const auto& call : log.calls) {
            w.beginObject();
            w.key("pid");
            w.integer(call.pid);
            w.key("element");
            // A pid that is not on the desktop has no element ids: "" keeps the key a string.
            const App* app = desktop.app(call.pid);
            if (call.element == systemWideElement) {
                w.string("systemWide");
            } else if (app && call.element >= 0 &&
                       static_cast<std::size_t>(call.element) < app->nodes.size()) {
                w.string(app->nodes[static_cast<std::size_t>(call.element)].id);
            } else {
                w.string("");
            }
            w.key("op");
            w.string(opName(call.op));
            w.key("attribute");
            w.string(call.attribute);
            w.key("atMs");
            w.millis(call.atMs);
            if (call.error != AXError::success) {
                w.key("error");
                w.string(errorName(call.error));
            }
            w.endObject();
        }
        w.endArray();
        w.key("pasteboard");
        w.beginArray();
        for (const auto& operation : log.pasteboard) {
            w.beginObject();
            w.key("op");
            w.string(operation.op);
            w.key("by");
            w.string(byName(operation.by));
            w.key("atMs");
            w.millis(operation.atMs);
            if (operation.types) {
                w.key("types");
                w.beginArray();
                for (const auto& item : *operation.types) {
                    w.beginArray();
                    for (const auto& type : item) {
                        w.string(type);
                    }
                    w.endArray();
                }
                w.endArray();
            }
            if (operation.refused) {
                w.key("refused");
                w.boolean(true);
            }
            if (operation.afterExit) {
                w.key("afterExit");
                w.boolean(true);
            }
            w.endObject();
        }
        w.endArray();
        w.key("reactions");
        w.beginArray();
        for (const auto& reaction : log.reactions) {
            w.beginObject();
            w.key("pid");
            w.integer(reaction.pid);
            w.key("kind");
            w.string(reactionName(reaction.kind));
            w.key("dueMs");
            w.millis(reaction.dueMs);
            w.key("afterExit");
            w.boolean(reaction.afterExit);
            w.endObject();
        }
        w.endArray();
        w.endObject();
    }

    const Desktop& desktop;
    const RunLog& log;
    JsonWriter w;
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
    return Saver(desktop, log).run();
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
