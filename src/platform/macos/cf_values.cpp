// The conversions, dispatched on CFGetTypeID as the Core Foundation rules say.
#include "cf_values.h"

#include <memory>
#include <vector>

#include "objects.h"
#include "text/utf8.h"

namespace platform::macos {

namespace {

// No real attribute nests arrays this deep; an application that does must not exhaust the stack.
constexpr int arrayDepthLimit = 32;

Value wrappedFrom(sdk::AXValueRef value) {
    switch (sdk::AXValueGetType(value)) {
        case sdk::kAXValueTypeCGPoint: {
            sdk::CGPoint point{};
            if (sdk::AXValueGetValue(value, sdk::kAXValueTypeCGPoint, &point)) {
                return Value{Wrapped{Point{point.x, point.y}}};
            }
            break;
        }
        case sdk::kAXValueTypeCGSize: {
            sdk::CGSize size{};
            if (sdk::AXValueGetValue(value, sdk::kAXValueTypeCGSize, &size)) {
                return Value{Wrapped{Size{size.width, size.height}}};
            }
            break;
        }
        case sdk::kAXValueTypeCGRect: {
            sdk::CGRect rect{};
            if (sdk::AXValueGetValue(value, sdk::kAXValueTypeCGRect, &rect)) {
                return Value{Wrapped{
                    Rect{{rect.origin.x, rect.origin.y}, {rect.size.width, rect.size.height}}}};
            }
            break;
        }
        case sdk::kAXValueTypeCFRange: {
            sdk::CFRange range{};
            if (sdk::AXValueGetValue(value, sdk::kAXValueTypeCFRange, &range)) {
                return Value{Wrapped{Range{range.location, range.length}}};
            }
            break;
        }
        default:
            break;  // an AXError wrapper or an illegal one: no slot for it
    }
    return Value{OtherValue{}};
}

Value numberFrom(sdk::CFNumberRef number) {
    if (!sdk::CFNumberIsFloatType(number)) {
        std::int64_t integer = 0;
        if (sdk::CFNumberGetValue(number, sdk::kCFNumberSInt64Type, &integer)) {
            return Value{Number{integer}};
        }
    }
    // A float, or an integer too large for 64 signed bits.
    double real = 0;
    sdk::CFNumberGetValue(number, sdk::kCFNumberDoubleType, &real);
    return Value{Number{real}};
}

Value valueAt(sdk::CFTypeRef value, int depth) {
    const sdk::CFTypeID type = sdk::CFGetTypeID(value);
    if (type == sdk::AXUIElementGetTypeID()) {
        return Value{elementFrom(
            Owned<sdk::AXUIElementRef>::retained(static_cast<sdk::AXUIElementRef>(value)))};
    }
    if (type == sdk::AXValueGetTypeID()) {
        return wrappedFrom(static_cast<sdk::AXValueRef>(value));
    }
    if (type == sdk::CFStringGetTypeID()) {
        return Value{stringFrom(static_cast<sdk::CFStringRef>(value))};
    }
    if (type == sdk::CFBooleanGetTypeID()) {
        return Value{sdk::CFBooleanGetValue(static_cast<sdk::CFBooleanRef>(value)) != 0};
    }
    if (type == sdk::CFNumberGetTypeID()) {
        return numberFrom(static_cast<sdk::CFNumberRef>(value));
    }
    if (type == sdk::CFArrayGetTypeID() && depth < arrayDepthLimit) {
        const auto array = static_cast<sdk::CFArrayRef>(value);
        const sdk::CFIndex count = sdk::CFArrayGetCount(array);
        ValueList list;
        list.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
        for (sdk::CFIndex i = 0; i < count; ++i) {
            const sdk::CFTypeRef item = sdk::CFArrayGetValueAtIndex(array, i);
            list.push_back(item != nullptr ? valueAt(item, depth + 1) : Value{OtherValue{}});
        }
        return Value{std::move(list)};
    }
    if (type == sdk::CFAttributedStringGetTypeID()) {
        return Value{AttributedString{stringFrom(
            sdk::CFAttributedStringGetString(static_cast<sdk::CFAttributedStringRef>(value)))}};
    }
    return Value{OtherValue{}};
}

template <class Struct>
Owned<sdk::CFTypeRef> axValue(sdk::AXValueType type, const Struct& value) {
    return Owned<sdk::CFTypeRef>(sdk::AXValueCreate(type, &value));
}

Owned<sdk::CFTypeRef> wrappedCF(const Wrapped& wrapped) {
    return std::visit(
        [](const auto& v) -> Owned<sdk::CFTypeRef> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Point>) {
                return axValue(sdk::kAXValueTypeCGPoint, sdk::CGPoint{v.x, v.y});
            } else if constexpr (std::is_same_v<T, Size>) {
                return axValue(sdk::kAXValueTypeCGSize, sdk::CGSize{v.width, v.height});
            } else if constexpr (std::is_same_v<T, Rect>) {
                return axValue(sdk::kAXValueTypeCGRect, sdk::CGRect{{v.origin.x, v.origin.y},
                                                                    {v.size.width, v.size.height}});
            } else {
                return axValue(sdk::kAXValueTypeCFRange, sdk::CFRange{v.location, v.length});
            }
        },
        wrapped.value);
}

Owned<sdk::CFTypeRef> arrayCF(const ValueList& list) {
    std::vector<Owned<sdk::CFTypeRef>> items;
    std::vector<const void*> refs;
    items.reserve(list.size());
    refs.reserve(list.size());
    for (const Value& item : list) {
        items.push_back(cfFrom(item));
        if (!items.back()) {
            return Owned<sdk::CFTypeRef>();  // one item that cannot be written spoils the list
        }
        refs.push_back(items.back().get());
    }
    // The array retains its items; ours are released when `items` goes.
    return Owned<sdk::CFTypeRef>(sdk::CFArrayCreate(sdk::kCFAllocatorDefault, refs.data(),
                                                    static_cast<sdk::CFIndex>(refs.size()),
                                                    &sdk::kCFTypeArrayCallBacks));
}

}  // namespace

std::string stringFrom(sdk::CFStringRef string) {
    if (string == nullptr) {
        return {};
    }
    const sdk::CFIndex length = sdk::CFStringGetLength(string);
    if (length <= 0) {
        return {};
    }
    // UniChar and char16_t are distinct types: the units are copied across, not aliased.
    std::vector<sdk::UniChar> units(static_cast<std::size_t>(length));
    sdk::CFStringGetCharacters(string, sdk::CFRange{0, length}, units.data());
    return text::fromUtf16(std::u16string(units.begin(), units.end()));
}

Owned<sdk::CFStringRef> makeString(std::string_view utf8) {
    const std::u16string utf16 = text::toUtf16(utf8);
    const std::vector<sdk::UniChar> units(utf16.begin(), utf16.end());
    return Owned<sdk::CFStringRef>(sdk::CFStringCreateWithCharacters(
        sdk::kCFAllocatorDefault, units.data(), static_cast<sdk::CFIndex>(units.size())));
}

Value valueFrom(sdk::CFTypeRef value) {
    return valueAt(value, 0);
}

Owned<sdk::CFTypeRef> cfFrom(const Value& value) {
    return std::visit(
        [](const auto& v) -> Owned<sdk::CFTypeRef> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Element>) {
                const sdk::AXUIElementRef ref = v.object ? v.object->ref.get() : nullptr;
                return Owned<sdk::CFTypeRef>::retained(ref);
            } else if constexpr (std::is_same_v<T, Wrapped>) {
                return wrappedCF(v);
            } else if constexpr (std::is_same_v<T, std::string>) {
                return Owned<sdk::CFTypeRef>(makeString(v).release());
            } else if constexpr (std::is_same_v<T, Number>) {
                if (const auto* integer = std::get_if<std::int64_t>(&v.value)) {
                    return Owned<sdk::CFTypeRef>(sdk::CFNumberCreate(
                        sdk::kCFAllocatorDefault, sdk::kCFNumberSInt64Type, integer));
                }
                const double real = std::get<double>(v.value);
                return Owned<sdk::CFTypeRef>(
                    sdk::CFNumberCreate(sdk::kCFAllocatorDefault, sdk::kCFNumberDoubleType, &real));
            } else if constexpr (std::is_same_v<T, bool>) {
                return Owned<sdk::CFTypeRef>::retained(v ? sdk::kCFBooleanTrue
                                                         : sdk::kCFBooleanFalse);
            } else if constexpr (std::is_same_v<T, ValueList>) {
                return arrayCF(v);
            } else {
                return Owned<sdk::CFTypeRef>();  // attributed strings and other types
            }
        },
        value.data);
}

AXError errorFrom(sdk::AXError error) {
    switch (error) {
        case sdk::kAXErrorSuccess:
            return AXError::success;
        case sdk::kAXErrorIllegalArgument:
            return AXError::illegalArgument;
        case sdk::kAXErrorInvalidUIElement:
            return AXError::invalidUIElement;
        case sdk::kAXErrorCannotComplete:
            return AXError::cannotComplete;
        case sdk::kAXErrorAttributeUnsupported:
            return AXError::attributeUnsupported;
        case sdk::kAXErrorNotImplemented:
            return AXError::notImplemented;
        case sdk::kAXErrorAPIDisabled:
            return AXError::apiDisabled;
        case sdk::kAXErrorNoValue:
            return AXError::noValue;
        default:
            return AXError::failure;  // kAXErrorFailure, and every code the platform leaves out
    }
}

Element elementFrom(Owned<sdk::AXUIElementRef> ref) {
    if (!ref) {
        return Element{};
    }
    return Element{std::make_shared<ElementObject>(std::move(ref))};
}

}  // namespace platform::macos
