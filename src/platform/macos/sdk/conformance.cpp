// Built on Apple systems only: every declaration of the stand-in header, with which the macOS
// backend is compiled and tested where there is no SDK, must say what the real SDK says. A
// prototype, an enumeration's underlying type or an enumerator that drifted fails the build.
#include <ApplicationServices/ApplicationServices.h>
#include <Carbon/Carbon.h>
#include <CoreFoundation/CoreFoundation.h>
#include <cstddef>
#include <type_traits>

#define LARKSPIN_SDK_NAMESPACE standin
#include "../standin/apple_sdk.h"
#include "platform/accessibility.h"
#include "platform/events.h"
#include "platform/input_sources.h"
#include "platform/workspace.h"

namespace {

// The real SDK's type for a stand-in type; every other type stands for itself.
template <class T>
struct Sdk {
    using type = T;
};
template <class T>
using SdkT = typename Sdk<T>::type;
template <class T>
struct Sdk<const T> {
    using type = const SdkT<T>;
};
template <class T>
struct Sdk<T*> {
    using type = SdkT<T>*;
};
template <class R, class... A>
struct Sdk<R(A...)> {
    using type = SdkT<R>(SdkT<A>...);
};

#define LARKSPIN_MAPS(name)     \
    template <>                 \
    struct Sdk<standin::name> { \
        using type = ::name;    \
    }

LARKSPIN_MAPS(CFAllocatorRef);
LARKSPIN_MAPS(CFStringRef);
LARKSPIN_MAPS(CFBooleanRef);
LARKSPIN_MAPS(CFNumberRef);
LARKSPIN_MAPS(CFArrayRef);
LARKSPIN_MAPS(CFDataRef);
LARKSPIN_MAPS(CFAttributedStringRef);
LARKSPIN_MAPS(CFRange);
LARKSPIN_MAPS(CFNumberType);
LARKSPIN_MAPS(CFArrayCallBacks);
LARKSPIN_MAPS(CFRunLoopRunResult);
LARKSPIN_MAPS(AXUIElementRef);
LARKSPIN_MAPS(AXValueRef);
LARKSPIN_MAPS(AXError);
LARKSPIN_MAPS(AXValueType);
LARKSPIN_MAPS(CGEventRef);
LARKSPIN_MAPS(CGEventSourceRef);
LARKSPIN_MAPS(CGEventSourceStateID);
LARKSPIN_MAPS(CGEventTapLocation);
LARKSPIN_MAPS(TISInputSourceRef);
LARKSPIN_MAPS(UCKeyboardLayout);

#define LARKSPIN_SAME_TYPE(name) \
    static_assert(std::is_same_v<SdkT<standin::name>, ::name>, "type " #name)
#define LARKSPIN_SAME_DECLARATION(name) \
    static_assert(std::is_same_v<SdkT<decltype(standin::name)>, decltype(::name)>, #name)
#define LARKSPIN_SAME_ENUM(name)                                                               \
    static_assert(std::is_enum_v<::name> && std::is_enum_v<standin::name>, "enum " #name);     \
    static_assert(                                                                             \
        std::is_same_v<std::underlying_type_t<standin::name>, std::underlying_type_t<::name>>, \
        "underlying type of " #name)
#define LARKSPIN_SAME_VALUE(name)                                                          \
    static_assert(static_cast<long long>(standin::name) == static_cast<long long>(::name), \
                  "value of " #name)
#define LARKSPIN_SAME_LAYOUT(name)                                            \
    static_assert(sizeof(standin::name) == sizeof(::name), "size of " #name); \
    static_assert(alignof(standin::name) == alignof(::name), "alignment of " #name)

// Plain types, as the stand-in spells them.
LARKSPIN_SAME_TYPE(Boolean);
LARKSPIN_SAME_TYPE(UInt8);
LARKSPIN_SAME_TYPE(UInt16);
LARKSPIN_SAME_TYPE(UInt32);
LARKSPIN_SAME_TYPE(SInt32);
LARKSPIN_SAME_TYPE(OSStatus);
LARKSPIN_SAME_TYPE(OptionBits);
LARKSPIN_SAME_TYPE(UniChar);
LARKSPIN_SAME_TYPE(UniCharCount);
LARKSPIN_SAME_TYPE(CFIndex);
LARKSPIN_SAME_TYPE(CFTypeID);
LARKSPIN_SAME_TYPE(CFTimeInterval);
LARKSPIN_SAME_TYPE(CGFloat);
LARKSPIN_SAME_TYPE(CFTypeRef);
LARKSPIN_SAME_TYPE(CGKeyCode);
LARKSPIN_SAME_TYPE(CGEventFlags);
LARKSPIN_SAME_TYPE(CFRunLoopMode);

// Structures the backend fills or hands over by address.
LARKSPIN_SAME_LAYOUT(CFRange);
LARKSPIN_SAME_LAYOUT(CGPoint);
LARKSPIN_SAME_LAYOUT(CGSize);
LARKSPIN_SAME_LAYOUT(CGRect);
LARKSPIN_SAME_LAYOUT(CFArrayCallBacks);
static_assert(offsetof(standin::CFRange, length) == offsetof(::CFRange, length), "CFRange");
static_assert(offsetof(standin::CGRect, size) == offsetof(::CGRect, size), "CGRect");

// The SDK's CF_ENUM types are enums, with their underlying types.
LARKSPIN_SAME_ENUM(CFNumberType);
LARKSPIN_SAME_ENUM(CFRunLoopRunResult);
LARKSPIN_SAME_ENUM(AXError);
LARKSPIN_SAME_ENUM(AXValueType);
LARKSPIN_SAME_ENUM(CGEventSourceStateID);
LARKSPIN_SAME_ENUM(CGEventTapLocation);

LARKSPIN_SAME_VALUE(kCFNumberSInt64Type);
LARKSPIN_SAME_VALUE(kCFNumberFloat64Type);
LARKSPIN_SAME_VALUE(kCFNumberDoubleType);
LARKSPIN_SAME_VALUE(kCFRunLoopRunFinished);
LARKSPIN_SAME_VALUE(kCFRunLoopRunStopped);
LARKSPIN_SAME_VALUE(kCFRunLoopRunTimedOut);
LARKSPIN_SAME_VALUE(kCFRunLoopRunHandledSource);
LARKSPIN_SAME_VALUE(kAXErrorSuccess);
LARKSPIN_SAME_VALUE(kAXErrorFailure);
LARKSPIN_SAME_VALUE(kAXErrorIllegalArgument);
LARKSPIN_SAME_VALUE(kAXErrorInvalidUIElement);
LARKSPIN_SAME_VALUE(kAXErrorInvalidUIElementObserver);
LARKSPIN_SAME_VALUE(kAXErrorCannotComplete);
LARKSPIN_SAME_VALUE(kAXErrorAttributeUnsupported);
LARKSPIN_SAME_VALUE(kAXErrorActionUnsupported);
LARKSPIN_SAME_VALUE(kAXErrorNotificationUnsupported);
LARKSPIN_SAME_VALUE(kAXErrorNotImplemented);
LARKSPIN_SAME_VALUE(kAXErrorNotificationAlreadyRegistered);
LARKSPIN_SAME_VALUE(kAXErrorNotificationNotRegistered);
LARKSPIN_SAME_VALUE(kAXErrorAPIDisabled);
LARKSPIN_SAME_VALUE(kAXErrorNoValue);
LARKSPIN_SAME_VALUE(kAXErrorParameterizedAttributeUnsupported);
LARKSPIN_SAME_VALUE(kAXErrorNotEnoughPrecision);
LARKSPIN_SAME_VALUE(kAXValueTypeCGPoint);
LARKSPIN_SAME_VALUE(kAXValueTypeCGSize);
LARKSPIN_SAME_VALUE(kAXValueTypeCGRect);
LARKSPIN_SAME_VALUE(kAXValueTypeCFRange);
LARKSPIN_SAME_VALUE(kAXValueTypeAXError);
LARKSPIN_SAME_VALUE(kAXValueTypeIllegal);
LARKSPIN_SAME_VALUE(kCGEventSourceStatePrivate);
LARKSPIN_SAME_VALUE(kCGEventSourceStateCombinedSessionState);
LARKSPIN_SAME_VALUE(kCGEventSourceStateHIDSystemState);
LARKSPIN_SAME_VALUE(kCGHIDEventTap);
LARKSPIN_SAME_VALUE(kCGSessionEventTap);
LARKSPIN_SAME_VALUE(kCGAnnotatedSessionEventTap);

// Constants the backend reads.
LARKSPIN_SAME_DECLARATION(kCFAllocatorDefault);
LARKSPIN_SAME_DECLARATION(kCFBooleanTrue);
LARKSPIN_SAME_DECLARATION(kCFBooleanFalse);
LARKSPIN_SAME_DECLARATION(kCFTypeArrayCallBacks);
LARKSPIN_SAME_DECLARATION(kCFRunLoopDefaultMode);
LARKSPIN_SAME_DECLARATION(kTISPropertyUnicodeKeyLayoutData);

// Every function, parameter by parameter.
LARKSPIN_SAME_DECLARATION(CFRetain);
LARKSPIN_SAME_DECLARATION(CFRelease);
LARKSPIN_SAME_DECLARATION(CFGetTypeID);
LARKSPIN_SAME_DECLARATION(CFEqual);
LARKSPIN_SAME_DECLARATION(CFStringGetTypeID);
LARKSPIN_SAME_DECLARATION(CFStringCreateWithCharacters);
LARKSPIN_SAME_DECLARATION(CFStringGetLength);
LARKSPIN_SAME_DECLARATION(CFStringGetCharacters);
LARKSPIN_SAME_DECLARATION(CFNumberGetTypeID);
LARKSPIN_SAME_DECLARATION(CFNumberCreate);
LARKSPIN_SAME_DECLARATION(CFNumberGetValue);
LARKSPIN_SAME_DECLARATION(CFNumberIsFloatType);
LARKSPIN_SAME_DECLARATION(CFBooleanGetTypeID);
LARKSPIN_SAME_DECLARATION(CFBooleanGetValue);
LARKSPIN_SAME_DECLARATION(CFArrayGetTypeID);
LARKSPIN_SAME_DECLARATION(CFArrayCreate);
LARKSPIN_SAME_DECLARATION(CFArrayGetCount);
LARKSPIN_SAME_DECLARATION(CFArrayGetValueAtIndex);
LARKSPIN_SAME_DECLARATION(CFAttributedStringGetTypeID);
LARKSPIN_SAME_DECLARATION(CFAttributedStringGetString);
LARKSPIN_SAME_DECLARATION(CFDataGetBytePtr);
LARKSPIN_SAME_DECLARATION(CFRunLoopRunInMode);
LARKSPIN_SAME_DECLARATION(AXIsProcessTrusted);
LARKSPIN_SAME_DECLARATION(AXUIElementCreateApplication);
LARKSPIN_SAME_DECLARATION(AXUIElementCreateSystemWide);
LARKSPIN_SAME_DECLARATION(AXUIElementGetTypeID);
LARKSPIN_SAME_DECLARATION(AXUIElementCopyAttributeValue);
LARKSPIN_SAME_DECLARATION(AXUIElementCopyParameterizedAttributeValue);
LARKSPIN_SAME_DECLARATION(AXUIElementSetAttributeValue);
LARKSPIN_SAME_DECLARATION(AXUIElementIsAttributeSettable);
LARKSPIN_SAME_DECLARATION(AXUIElementSetMessagingTimeout);
LARKSPIN_SAME_DECLARATION(AXUIElementGetPid);
LARKSPIN_SAME_DECLARATION(AXValueGetTypeID);
LARKSPIN_SAME_DECLARATION(AXValueCreate);
LARKSPIN_SAME_DECLARATION(AXValueGetType);
LARKSPIN_SAME_DECLARATION(AXValueGetValue);
LARKSPIN_SAME_DECLARATION(CGEventSourceCreate);
LARKSPIN_SAME_DECLARATION(CGEventCreateKeyboardEvent);
LARKSPIN_SAME_DECLARATION(CGEventSetFlags);
LARKSPIN_SAME_DECLARATION(CGEventPost);
LARKSPIN_SAME_DECLARATION(CGEventSourceFlagsState);
LARKSPIN_SAME_DECLARATION(CGPreflightPostEventAccess);
LARKSPIN_SAME_DECLARATION(IsSecureEventInputEnabled);
LARKSPIN_SAME_DECLARATION(TISCopyCurrentKeyboardLayoutInputSource);
LARKSPIN_SAME_DECLARATION(TISCopyCurrentASCIICapableKeyboardLayoutInputSource);
LARKSPIN_SAME_DECLARATION(TISGetInputSourceProperty);
LARKSPIN_SAME_DECLARATION(LMGetKbdType);
LARKSPIN_SAME_DECLARATION(UCKeyTranslate);

// The platform headers' own copies of SDK constants.
static_assert(platform::keyActionDisplay == kUCKeyActionDisplay, "kUCKeyActionDisplay");
static_assert(platform::commandKeyModifierState == (cmdKey >> 8), "cmdKey >> 8");
static_assert(platform::eventFlagMaskCommand == kCGEventFlagMaskCommand, "Command mask");
static_assert(platform::eventFlagMaskShift == kCGEventFlagMaskShift, "Shift mask");
static_assert(platform::eventFlagMaskControl == kCGEventFlagMaskControl, "Control mask");
static_assert(platform::eventFlagMaskAlternate == kCGEventFlagMaskAlternate, "Option mask");
static_assert(platform::eventSourceStateHIDSystemState == kCGEventSourceStateHIDSystemState,
              "HID system state");
static_assert(platform::hidEventTap == kCGHIDEventTap, "kCGHIDEventTap");
static_assert(platform::eventSourceStatePrivate == kCGEventSourceStatePrivate, "private state");
static_assert(platform::activateIgnoringOtherApps == 2, "NSApplicationActivateIgnoringOtherApps");
static_assert(static_cast<int>(platform::AXError::cannotComplete) == kAXErrorCannotComplete);
static_assert(static_cast<int>(platform::AXError::noValue) == kAXErrorNoValue);
static_assert(static_cast<int>(platform::AXError::apiDisabled) == kAXErrorAPIDisabled);
static_assert(static_cast<int>(platform::AXError::attributeUnsupported) ==
              kAXErrorAttributeUnsupported);
static_assert(static_cast<int>(platform::WrappedKind::range) == kAXValueTypeCFRange);

}  // namespace
