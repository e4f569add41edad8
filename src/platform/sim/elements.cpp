// Element reads and writes on the model: explicit attributes win, derived ones come from the
// tree, the text and the application's focus; writes follow the element's "settable" list.
#include "platform/sim/elements.h"

#include <limits>

#include "platform/sim/handles.h"
#include "text/utf16.h"

namespace platform::sim {

namespace {

AttributeRead fail(AXError error) {
    return {error, std::nullopt};
}

AttributeRead element(const Live& live, Pid pid, std::int32_t index) {
    return {AXError::success, Value{makeElement(live.generation, pid, index)}};
}

AttributeRead fromStored(const Live& live, Pid pid, const SimValue& value) {
    if (const auto* error = std::get_if<ErrorValue>(&value.data)) {
        return fail(error->code);
    }
    if (std::holds_alternative<NoValue>(value.data)) {
        return {AXError::success, std::nullopt};
    }
    return {AXError::success, toPlatformValue(live.generation, pid, value)};
}

bool hasRole(const Node& node, std::string_view role) {
    const std::string* value = node.string("AXRole");
    return value && *value == role;
}

std::optional<std::int32_t> windowAbove(const App& app, std::int32_t index) {
    for (std::int32_t at = app.nodes[static_cast<std::size_t>(index)].parent; at >= 0;
         at = app.nodes[static_cast<std::size_t>(at)].parent) {
        if (hasRole(app.nodes[static_cast<std::size_t>(at)], "AXWindow")) {
            return at;
        }
    }
    return std::nullopt;
}

std::optional<std::int32_t> focusedWindow(const App& app) {
    if (app.focusedWindow) {
        return app.focusedWindow;
    }
    if (app.focused) {
        if (hasRole(app.nodes[static_cast<std::size_t>(*app.focused)], "AXWindow")) {
            return app.focused;
        }
        if (auto window = windowAbove(app, *app.focused)) {
            return window;
        }
    }
    // Windows are nearly always the application's children; the whole table is looked through
    // only for a tree without one there.
    for (const std::int32_t child : app.nodes.front().children) {
        if (hasRole(app.nodes[static_cast<std::size_t>(child)], "AXWindow")) {
            return child;
        }
    }
    for (std::size_t i = 1; i < app.nodes.size(); ++i) {
        if (hasRole(app.nodes[i], "AXWindow")) {
            return static_cast<std::int32_t>(i);
        }
    }
    return std::nullopt;
}

std::optional<Range> storedRange(const Node& node) {
    const SimValue* value = node.find("AXSelectedTextRange");
    if (value == nullptr) {
        return std::nullopt;
    }
    if (const auto* range = std::get_if<Range>(&value->data)) {
        return *range;
    }
    return std::nullopt;
}

}  // namespace

Range clampRange(Range range, std::int64_t length) {
    const std::int64_t location =
        range.location < 0 ? 0 : (range.location > length ? length : range.location);
    std::int64_t end = location;
    if (range.length > 0) {
        end = range.length > length - location ? length : location + range.length;
    }
    return {location, end - location};
}

Value toPlatformValue(std::uint64_t generation, Pid pid, const SimValue& value) {
    return std::visit(
        [&](const auto& v) -> Value {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, bool>) {
                return Value{v};
            } else if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, double>) {
                return Value{Number{v}};
            } else if constexpr (std::is_same_v<T, Point> || std::is_same_v<T, Size> ||
                                 std::is_same_v<T, Rect> || std::is_same_v<T, Range>) {
                return Value{Wrapped{v}};
            } else if constexpr (std::is_same_v<T, ElementRef>) {
                return Value{makeElement(generation, pid, v.index)};
            } else if constexpr (std::is_same_v<T, SimList>) {
                ValueList list;
                list.reserve(v.size());
                for (const auto& item : v) {
                    list.push_back(toPlatformValue(generation, pid, item));
                }
                return Value{std::move(list)};
            } else if constexpr (std::is_same_v<T, AttributedText>) {
                return Value{AttributedString{v.text}};
            } else {
                // OtherText, and the forms that never stand inside a list.
                return Value{OtherValue{}};
            }
        },
        value.data);
}

std::optional<SimValue> fromPlatformValue(std::uint64_t generation, Pid pid, const Value& value) {
    return std::visit(
        [&](const auto& v) -> std::optional<SimValue> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Element>) {
                if (!v.object || v.object->generation != generation || v.object->pid != pid ||
                    v.object->element < 0) {
                    return std::nullopt;
                }
                return SimValue{ElementRef{v.object->element}};
            } else if constexpr (std::is_same_v<T, Wrapped>) {
                return std::visit([](const auto& w) { return SimValue{w}; }, v.value);
            } else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, bool>) {
                return SimValue{v};
            } else if constexpr (std::is_same_v<T, Number>) {
                return std::visit([](const auto& n) { return SimValue{n}; }, v.value);
            } else if constexpr (std::is_same_v<T, ValueList>) {
                SimList list;
                list.reserve(v.size());
                for (const auto& item : v) {
                    auto stored = fromPlatformValue(generation, pid, item);
                    if (!stored) {
                        return std::nullopt;
                    }
                    list.push_back(std::move(*stored));
                }
                return SimValue{std::move(list)};
            } else if constexpr (std::is_same_v<T, AttributedString>) {
                return SimValue{AttributedText{v.text}};
            } else {
                return SimValue{OtherText{}};
            }
        },
        value.data);
}

std::optional<std::string> derivedSelectedText(const Node& node) {
    const std::string* text = node.string("AXValue");
    const auto range = storedRange(node);
    if (text == nullptr || !range) {
        return std::nullopt;
    }
    const Range clamped = clampRange(*range, text::utf16Length(*text));
    const std::size_t begin = text::byteOffset(*text, clamped.location);
    const std::size_t end = text::byteOffset(*text, clamped.location + clamped.length);
    return text->substr(begin, end - begin);
}

std::optional<std::string> selectedText(const Node& node) {
    if (const SimValue* value = node.find("AXSelectedText")) {
        if (const auto* text = std::get_if<std::string>(&value->data)) {
            return *text;
        }
        return std::nullopt;
    }
    return derivedSelectedText(node);
}

bool isSecure(const Node& node) {
    const std::string* subrole = node.string("AXSubrole");
    return hasRole(node, "AXSecureTextField") || (subrole && *subrole == "AXSecureTextField");
}

AttributeRead readAttribute(const Live& live, const App& app, std::int32_t index,
                            std::string_view name) {
    const Node& node = app.nodes[static_cast<std::size_t>(index)];
    if (index == 0 && app.treeOnRequest) {
        // The tree is not built yet: the application element stands alone.
        if (name == "AXChildren") {
            return {AXError::success, Value{ValueList{}}};
        }
        if (name == "AXFocusedUIElement" || name == "AXFocusedWindow") {
            return fail(AXError::noValue);
        }
    }
    if (const SimValue* value = node.find(name)) {
        return fromStored(live, app.pid, *value);
    }
    if (name == "AXParent") {
        return node.parent >= 0 ? element(live, app.pid, node.parent)
                                : fail(AXError::attributeUnsupported);
    }
    if (name == "AXChildren") {
        ValueList children;
        children.reserve(node.children.size());
        for (const std::int32_t child : node.children) {
            children.push_back(Value{makeElement(live.generation, app.pid, child)});
        }
        return {AXError::success, Value{std::move(children)}};
    }
    if (name == "AXWindow") {
        const auto window = windowAbove(app, index);
        return window ? element(live, app.pid, *window) : fail(AXError::attributeUnsupported);
    }
    if (name == "AXSelectedText") {
        auto text = derivedSelectedText(node);
        return text ? AttributeRead{AXError::success, Value{std::move(*text)}}
                    : fail(AXError::attributeUnsupported);
    }
    if (name == "AXNumberOfCharacters") {
        const std::string* text = node.string("AXValue");
        return text ? AttributeRead{AXError::success, Value{Number{text::utf16Length(*text)}}}
                    : fail(AXError::attributeUnsupported);
    }
    if (index == 0 && name == "AXFocusedUIElement") {
        if (!app.focused || live.elapsedMs() < app.focusDelayMs) {
            return fail(AXError::noValue);
        }
        return element(live, app.pid, *app.focused);
    }
    if (index == 0 && name == "AXFocusedWindow") {
        const auto window = focusedWindow(app);
        return window ? element(live, app.pid, *window) : fail(AXError::noValue);
    }
    return fail(AXError::attributeUnsupported);
}

AttributeRead readSystemWideAttribute(const Live& live, std::string_view name) {
    if (name == "AXRole") {
        return {AXError::success, Value{std::string("AXSystemWide")}};
    }
    if (name != "AXFocusedApplication") {
        return fail(AXError::attributeUnsupported);
    }
    const Desktop& desktop = live.desktop;
    std::optional<Pid> pid;
    switch (desktop.focusedApplication.kind) {
        case FocusedApplication::Kind::followsFrontmost:
            pid = desktop.frontmost;
            break;
        case FocusedApplication::Kind::none:
            break;
        case FocusedApplication::Kind::fail:
            return fail(AXError::cannotComplete);
        case FocusedApplication::Kind::pid:
            pid = desktop.focusedApplication.pid;
            break;
    }
    if (!pid || desktop.app(*pid) == nullptr) {
        return fail(AXError::noValue);
    }
    return element(live, *pid, 0);
}

bool systemWideHas(std::string_view name) {
    return name == "AXRole" || name == "AXFocusedApplication";
}

bool hasAttribute(const App& app, std::int32_t index, std::string_view name) {
    const Node& node = app.nodes[static_cast<std::size_t>(index)];
    if (node.find(name) != nullptr || name == "AXChildren") {
        return true;
    }
    if (name == "AXParent") {
        return node.parent >= 0;
    }
    if (name == "AXWindow") {
        return windowAbove(app, index).has_value();
    }
    if (name == "AXSelectedText") {
        return node.string("AXValue") != nullptr && storedRange(node).has_value();
    }
    if (name == "AXNumberOfCharacters") {
        return node.string("AXValue") != nullptr;
    }
    return index == 0 && (name == "AXFocusedUIElement" || name == "AXFocusedWindow");
}

AXError writeAttribute(Live& live, App& app, std::int32_t index, std::string_view name,
                       const Value& value) {
    Node& node = app.nodes[static_cast<std::size_t>(index)];
    const auto* flag = std::get_if<bool>(&value.data);
    if (index == 0 && app.treeOnRequest && name == "AXManualAccessibility") {
        if (flag == nullptr) {
            return AXError::illegalArgument;
        }
        app.treeOnRequest = !*flag;
        return AXError::success;
    }
    if (!node.isSettable(name)) {
        return AXError::attributeUnsupported;
    }
    if (index == 0 && name == "AXFrontmost") {
        if (flag == nullptr) {
            return AXError::illegalArgument;
        }
        if (*flag) {
            requestActivation(live, {app.pid, 0, 0, ActivationVia::axFrontmost, std::nullopt});
        }
        return AXError::success;
    }
    if (name == "AXSelectedTextRange") {
        const auto* wrapped = std::get_if<Wrapped>(&value.data);
        const auto* range = wrapped ? std::get_if<Range>(&wrapped->value) : nullptr;
        if (range == nullptr) {
            return AXError::illegalArgument;
        }
        node.store(name, SimValue{node.selectionReadBack ? *node.selectionReadBack : *range});
        return AXError::success;
    }
    if (name == "AXFocused") {
        if (flag == nullptr) {
            return AXError::illegalArgument;
        }
        if (*flag) {
            app.focused = index;
        }
        if (node.find(name) != nullptr) {
            node.store(name, SimValue{*flag});
        }
        return AXError::success;
    }
    auto stored = fromPlatformValue(live.generation, app.pid, value);
    if (!stored) {
        return AXError::illegalArgument;
    }
    node.store(name, std::move(*stored));
    return AXError::success;
}

}  // namespace platform::sim
