// Failure-tolerant accessibility primitives: a read gives a value or nothing, a write a Boolean,
// and every handle they hand out carries the helper's messaging time-out.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/accessibility.h"
#include "platform/types.h"

namespace ax {

using platform::Element;
using platform::Pid;
using platform::Point;
using platform::Range;
using platform::Rect;
using platform::Size;
using platform::Value;
using platform::WrappedKind;

// The raw value; absent on any error, so an unsupported attribute, a missing value, a time-out
// and a vanished element all look the same.
std::optional<Value> attribute(const Element& element, const std::string& name);

// Only a plain string; an empty string stays a string.
std::optional<std::string> stringAttribute(const Element& element, const std::string& name);

bool isSettable(const Element& element, const std::string& name);

// An element out of a raw value, with the messaging time-out applied before anybody uses it.
std::optional<Element> axElement(const std::optional<Value>& raw);

// The point, size, rectangle or range inside a wrapped value of that kind.
template <class T>
std::optional<T> axValue(const std::optional<Value>& raw, WrappedKind kind) {
    if (!raw) {
        return std::nullopt;
    }
    const auto* wrapped = std::get_if<platform::Wrapped>(&raw->data);
    if (wrapped == nullptr || wrapped->kind() != kind) {
        return std::nullopt;
    }
    const T* inner = std::get_if<T>(&wrapped->value);
    return inner != nullptr ? std::optional<T>(*inner) : std::nullopt;
}

std::optional<Range> selectedRange(const Element& element);
bool setSelectedRange(const Element& element, Range range);

// The bounds of the selection (a caret counts when it has a height), else the element's frame.
std::optional<Rect> selectionBounds(const Element& element);

Element applicationElement(Pid pid);

// The application with keyboard focus, from the system-wide element, else the workspace.
std::optional<Pid> focusedPid();

// The application with keyboard focus as the system-wide element reports it, and nothing else:
// the workspace's answer is not refreshed while this program's run loop stands still, so a wait
// for a change cannot ask it.
std::optional<Pid> focusedApplicationPid();

// Asks an application that builds its accessibility tree only on request (Electron, Chromium)
// to build it: AXManualAccessibility set on its application element. Applications that do not
// know the attribute refuse it, which changes nothing.
void requestTree(const Element& application);

// Settable value, settable selection, or any editable ancestor.
bool isEditable(const Element& element);

// The first non-empty of description, title and placeholder; "" when none.
std::string accessibleLabel(const Element& element);

// The element's children in its order, each with the messaging time-out; empty on any failure.
std::vector<Element> children(const Element& element);

}  // namespace ax
