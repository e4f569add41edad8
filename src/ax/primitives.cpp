// The primitives over the platform's accessibility calls.
#include "ax/primitives.h"

#include <cmath>

#include "frame/tunables.h"
#include "platform/workspace.h"

namespace ax {

namespace {

using platform::AXError;

Element withTimeout(Element element) {
    platform::setMessagingTimeout(element, frame::axTimeoutSeconds);
    return element;
}

}  // namespace

std::optional<Value> attribute(const Element& element, const std::string& name) {
    platform::AttributeRead read = platform::copyAttributeValue(element, name);
    if (read.error != AXError::success) {
        return std::nullopt;
    }
    return std::move(read.value);
}

std::optional<std::string> stringAttribute(const Element& element, const std::string& name) {
    std::optional<Value> raw = attribute(element, name);
    if (!raw) {
        return std::nullopt;
    }
    auto* text = std::get_if<std::string>(&raw->data);
    return text != nullptr ? std::optional<std::string>(std::move(*text)) : std::nullopt;
}

bool isSettable(const Element& element, const std::string& name) {
    const platform::SettableRead read = platform::isAttributeSettable(element, name);
    return read.error == AXError::success && read.settable;
}

std::optional<Element> axElement(const std::optional<Value>& raw) {
    if (!raw) {
        return std::nullopt;
    }
    const auto* element = std::get_if<Element>(&raw->data);
    if (element == nullptr) {
        return std::nullopt;
    }
    return withTimeout(*element);
}

std::optional<Range> selectedRange(const Element& element) {
    return axValue<Range>(attribute(element, "AXSelectedTextRange"), WrappedKind::range);
}

bool setSelectedRange(const Element& element, Range range) {
    const Value wrapped{platform::Wrapped{range}};
    return platform::setAttributeValue(element, "AXSelectedTextRange", wrapped) == AXError::success;
}

std::optional<Rect> selectionBounds(const Element& element) {
    if (const auto range = selectedRange(element)) {
        const platform::AttributeRead read = platform::copyParameterizedAttributeValue(
            element, "AXBoundsForRange", Value{platform::Wrapped{*range}});
        if (read.error == AXError::success) {
            if (const auto bounds = axValue<Rect>(read.value, WrappedKind::rect)) {
                // A caret has no width but a height; a rectangle with neither says nothing.
                // Sizes count as magnitudes, as CGRectGetWidth and CGRectGetHeight give them.
                if (std::fabs(bounds->size.width) > 0 || std::fabs(bounds->size.height) > 0) {
                    return bounds;
                }
            }
        }
    }
    const auto position = axValue<Point>(attribute(element, "AXPosition"), WrappedKind::point);
    const auto size = axValue<Size>(attribute(element, "AXSize"), WrappedKind::size);
    if (!position || !size) {
        return std::nullopt;
    }
    return Rect{*position, *size};
}

Element applicationElement(Pid pid) {
    return withTimeout(platform::createApplication(pid));
}

std::optional<Pid> focusedApplicationPid() {
    const Element systemWide = withTimeout(platform::createSystemWide());
    if (const auto app = axElement(attribute(systemWide, "AXFocusedApplication"))) {
        const platform::PidRead read = platform::getPid(*app);
        if (read.error == AXError::success) {
            return read.pid;
        }
    }
    return std::nullopt;
}

void requestTree(const Element& application) {
    platform::setAttributeValue(application, "AXManualAccessibility", Value{true});
}

std::optional<Pid> focusedPid() {
    if (const auto pid = focusedApplicationPid()) {
        return pid;
    }
    if (const auto front = platform::frontmostApplication()) {
        return platform::processIdentifier(*front);
    }
    return std::nullopt;
}

bool isEditable(const Element& element) {
    if (isSettable(element, "AXValue") || isSettable(element, "AXSelectedTextRange")) {
        return true;
    }
    const platform::AttributeRead ancestor =
        platform::copyAttributeValue(element, "AXEditableAncestor");
    return ancestor.error == AXError::success && ancestor.value.has_value();
}

std::string accessibleLabel(const Element& element) {
    for (const char* name : {"AXDescription", "AXTitle", "AXPlaceholderValue"}) {
        if (auto label = stringAttribute(element, name); label && !label->empty()) {
            return std::move(*label);
        }
    }
    return {};
}

std::vector<Element> children(const Element& element) {
    const std::optional<Value> raw = attribute(element, "AXChildren");
    const auto* list = raw ? std::get_if<platform::ValueList>(&raw->data) : nullptr;
    if (list == nullptr) {
        return {};
    }
    std::vector<Element> result;
    result.reserve(list->size());
    for (const Value& value : *list) {
        const auto* child = std::get_if<Element>(&value.data);
        if (child == nullptr) {
            return {};  // not a list of elements
        }
        result.push_back(*child);
    }
    for (Element& child : result) {
        platform::setMessagingTimeout(child, frame::axTimeoutSeconds);
    }
    return result;
}

}  // namespace ax
