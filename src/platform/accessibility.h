// The accessibility client interface (ApplicationServices): element handles, raw attribute
// values and the calls that read and change other applications' user interfaces.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/types.h"

namespace platform {

// AXError codes, with the values the Apple headers give them.
enum class AXError : std::int32_t {
    success = 0,
    failure = -25200,
    illegalArgument = -25201,
    invalidUIElement = -25202,
    cannotComplete = -25204,
    attributeUnsupported = -25205,
    notImplemented = -25208,
    apiDisabled = -25211,
    noValue = -25212,
};

// A reference to another process's element (AXUIElementRef), owned by the handle. Copies share
// the reference and with it the messaging time-out set on it; the backend defines the object.
struct ElementObject;
struct Element {
    std::shared_ptr<ElementObject> object;
};

// AXValueType numbers of the wrapped values.
enum class WrappedKind : std::int32_t { point = 1, size = 2, rect = 3, range = 4 };

// AXValueRef: a point, size, rectangle or text range in the accessibility interface's wrapper.
struct Wrapped {
    std::variant<Point, Size, Rect, Range> value;
    WrappedKind kind() const { return static_cast<WrappedKind>(value.index() + 1); }
};

// CFNumberRef: integer types and floating-point types stay apart, as CFNumberIsFloatType tells.
struct Number {
    std::variant<std::int64_t, double> value;
};

// NSAttributedString / CFAttributedStringRef: a value that is text but not a plain string.
struct AttributedString {
    std::string text;
};

// Any other Core Foundation type (a date, a URL, ...): carried only so that it is not a string.
struct OtherValue {};

struct Value;
using ValueList = std::vector<Value>;

// A raw attribute value; the alternative stands for its CFGetTypeID.
struct Value {
    std::variant<Element, Wrapped, std::string, Number, bool, ValueList, AttributedString,
                 OtherValue>
        data;
};

// The outcome of a copy call: the error code and, only on success, the value (which the element
// may still have left empty).
struct AttributeRead {
    AXError error = AXError::failure;
    std::optional<Value> value;
};

struct SettableRead {
    AXError error = AXError::failure;
    bool settable = false;
};

struct PidRead {
    AXError error = AXError::failure;
    Pid pid = 0;
};

// AXIsProcessTrusted: whether this process may use the accessibility interface.
bool isProcessTrusted();

// AXUIElementCreateApplication: a new handle for the application's top element (default
// time-out); an empty handle, on which every call fails, when the system could not make one.
Element createApplication(Pid pid);

// AXUIElementCreateSystemWide: a new handle for the system-wide element (default time-out), or
// an empty one.
Element createSystemWide();

// AXUIElementCopyAttributeValue.
AttributeRead copyAttributeValue(const Element& element, const std::string& attribute);

// AXUIElementCopyParameterizedAttributeValue, e.g. AXBoundsForRange with a wrapped range.
AttributeRead copyParameterizedAttributeValue(const Element& element, const std::string& attribute,
                                              const Value& parameter);

// AXUIElementSetAttributeValue: success when the element took the value.
AXError setAttributeValue(const Element& element, const std::string& attribute, const Value& value);

// AXUIElementIsAttributeSettable.
SettableRead isAttributeSettable(const Element& element, const std::string& attribute);

// AXUIElementSetMessagingTimeout: later calls on this handle give up after that many seconds.
AXError setMessagingTimeout(const Element& element, float seconds);

// AXUIElementGetPid: the process that owns the element.
PidRead getPid(const Element& element);

}  // namespace platform
