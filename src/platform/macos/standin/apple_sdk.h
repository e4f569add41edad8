// The Apple SDK as the macOS backend's C++ files use it, declared from Apple's documented
// signatures so that those files compile where no SDK exists; tests link a recording fake. The
// SDK's CF_ENUM types are enums of the same underlying type, CF_OPTIONS types plain integers,
// as they are in C++ with the real headers. Apple systems use sdk/apple_sdk.h instead, and a
// conformance unit there checks every declaration below against the real ones.
#pragma once

#include <cstdint>
#include <sys/types.h>

#ifndef LARKSPIN_SDK_NAMESPACE
#define LARKSPIN_SDK_NAMESPACE sdk
#endif

namespace LARKSPIN_SDK_NAMESPACE {

// --- MacTypes and Core Foundation base ----------------------------------------------------

using Boolean = unsigned char;
using UInt8 = std::uint8_t;
using UInt16 = std::uint16_t;
using UInt32 = std::uint32_t;
using SInt32 = std::int32_t;
using OSStatus = std::int32_t;
using OptionBits = std::uint32_t;
using UniChar = std::uint16_t;
using UniCharCount = unsigned long;
using CFIndex = long;
using CFTypeID = unsigned long;
using CFTimeInterval = double;
using CGFloat = double;

using CFTypeRef = const void*;
struct OpaqueCFAllocator;
using CFAllocatorRef = const OpaqueCFAllocator*;
struct OpaqueCFString;
using CFStringRef = const OpaqueCFString*;
struct OpaqueCFBoolean;
using CFBooleanRef = const OpaqueCFBoolean*;
struct OpaqueCFNumber;
using CFNumberRef = const OpaqueCFNumber*;
struct OpaqueCFArray;
using CFArrayRef = const OpaqueCFArray*;
struct OpaqueCFData;
using CFDataRef = const OpaqueCFData*;
struct OpaqueCFAttributedString;
using CFAttributedStringRef = const OpaqueCFAttributedString*;

struct CFRange {
    CFIndex location;
    CFIndex length;
};

enum CFNumberType : CFIndex {
    kCFNumberSInt64Type = 4,
    kCFNumberFloat64Type = 6,
    kCFNumberDoubleType = 13,
};

extern const CFAllocatorRef kCFAllocatorDefault;
extern const CFBooleanRef kCFBooleanTrue;
extern const CFBooleanRef kCFBooleanFalse;

CFTypeRef CFRetain(CFTypeRef cf);
void CFRelease(CFTypeRef cf);
CFTypeID CFGetTypeID(CFTypeRef cf);
Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2);

CFTypeID CFStringGetTypeID();
CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, const UniChar* chars,
                                         CFIndex numChars);
CFIndex CFStringGetLength(CFStringRef theString);
void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer);

CFTypeID CFNumberGetTypeID();
CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType theType, const void* valuePtr);
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr);
Boolean CFNumberIsFloatType(CFNumberRef number);

CFTypeID CFBooleanGetTypeID();
Boolean CFBooleanGetValue(CFBooleanRef boolean);

using CFArrayRetainCallBack = const void* (*)(CFAllocatorRef allocator, const void* value);
using CFArrayReleaseCallBack = void (*)(CFAllocatorRef allocator, const void* value);
using CFArrayCopyDescriptionCallBack = CFStringRef (*)(const void* value);
using CFArrayEqualCallBack = Boolean (*)(const void* value1, const void* value2);
struct CFArrayCallBacks {
    CFIndex version;
    CFArrayRetainCallBack retain;
    CFArrayReleaseCallBack release;
    CFArrayCopyDescriptionCallBack copyDescription;
    CFArrayEqualCallBack equal;
};
extern const CFArrayCallBacks kCFTypeArrayCallBacks;

CFTypeID CFArrayGetTypeID();
CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                         const CFArrayCallBacks* callBacks);
CFIndex CFArrayGetCount(CFArrayRef theArray);
const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx);

CFTypeID CFAttributedStringGetTypeID();
CFStringRef CFAttributedStringGetString(CFAttributedStringRef aStr);

const UInt8* CFDataGetBytePtr(CFDataRef theData);

// --- Run loop -----------------------------------------------------------------------------

using CFRunLoopMode = CFStringRef;
extern const CFRunLoopMode kCFRunLoopDefaultMode;

enum CFRunLoopRunResult : SInt32 {
    kCFRunLoopRunFinished = 1,
    kCFRunLoopRunStopped = 2,
    kCFRunLoopRunTimedOut = 3,
    kCFRunLoopRunHandledSource = 4,
};

CFRunLoopRunResult CFRunLoopRunInMode(CFRunLoopMode mode, CFTimeInterval seconds,
                                      Boolean returnAfterSourceHandled);

// --- Accessibility (HIServices) -------------------------------------------------------------

struct OpaqueAXUIElement;
using AXUIElementRef = const OpaqueAXUIElement*;
struct OpaqueAXValue;
using AXValueRef = const OpaqueAXValue*;

enum AXError : std::int32_t {
    kAXErrorSuccess = 0,
    kAXErrorFailure = -25200,
    kAXErrorIllegalArgument = -25201,
    kAXErrorInvalidUIElement = -25202,
    kAXErrorInvalidUIElementObserver = -25203,
    kAXErrorCannotComplete = -25204,
    kAXErrorAttributeUnsupported = -25205,
    kAXErrorActionUnsupported = -25206,
    kAXErrorNotificationUnsupported = -25207,
    kAXErrorNotImplemented = -25208,
    kAXErrorNotificationAlreadyRegistered = -25209,
    kAXErrorNotificationNotRegistered = -25210,
    kAXErrorAPIDisabled = -25211,
    kAXErrorNoValue = -25212,
    kAXErrorParameterizedAttributeUnsupported = -25213,
    kAXErrorNotEnoughPrecision = -25214,
};

enum AXValueType : UInt32 {
    kAXValueTypeCGPoint = 1,
    kAXValueTypeCGSize = 2,
    kAXValueTypeCGRect = 3,
    kAXValueTypeCFRange = 4,
    kAXValueTypeAXError = 5,
    kAXValueTypeIllegal = 0,
};

struct CGPoint {
    CGFloat x;
    CGFloat y;
};
struct CGSize {
    CGFloat width;
    CGFloat height;
};
struct CGRect {
    CGPoint origin;
    CGSize size;
};

Boolean AXIsProcessTrusted();
AXUIElementRef AXUIElementCreateApplication(pid_t pid);
AXUIElementRef AXUIElementCreateSystemWide();
CFTypeID AXUIElementGetTypeID();
AXError AXUIElementCopyAttributeValue(AXUIElementRef element, CFStringRef attribute,
                                      CFTypeRef* value);
AXError AXUIElementCopyParameterizedAttributeValue(AXUIElementRef element,
                                                   CFStringRef parameterizedAttribute,
                                                   CFTypeRef parameter, CFTypeRef* result);
AXError AXUIElementSetAttributeValue(AXUIElementRef element, CFStringRef attribute,
                                     CFTypeRef value);
AXError AXUIElementIsAttributeSettable(AXUIElementRef element, CFStringRef attribute,
                                       Boolean* settable);
AXError AXUIElementSetMessagingTimeout(AXUIElementRef element, float timeoutInSeconds);
AXError AXUIElementGetPid(AXUIElementRef element, pid_t* pid);

CFTypeID AXValueGetTypeID();
AXValueRef AXValueCreate(AXValueType theType, const void* valuePtr);
AXValueType AXValueGetType(AXValueRef value);
Boolean AXValueGetValue(AXValueRef value, AXValueType theType, void* valuePtr);

// --- Quartz event services (CoreGraphics) ---------------------------------------------------

struct OpaqueCGEvent;
using CGEventRef = OpaqueCGEvent*;
struct OpaqueCGEventSource;
using CGEventSourceRef = OpaqueCGEventSource*;
using CGKeyCode = std::uint16_t;
using CGEventFlags = std::uint64_t;

enum CGEventSourceStateID : std::int32_t {
    kCGEventSourceStatePrivate = -1,
    kCGEventSourceStateCombinedSessionState = 0,
    kCGEventSourceStateHIDSystemState = 1,
};

enum CGEventTapLocation : std::uint32_t {
    kCGHIDEventTap = 0,
    kCGSessionEventTap = 1,
    kCGAnnotatedSessionEventTap = 2,
};

CGEventSourceRef CGEventSourceCreate(CGEventSourceStateID stateID);
CGEventRef CGEventCreateKeyboardEvent(CGEventSourceRef source, CGKeyCode virtualKey, bool keyDown);
void CGEventSetFlags(CGEventRef event, CGEventFlags flags);
void CGEventPost(CGEventTapLocation tap, CGEventRef event);
CGEventFlags CGEventSourceFlagsState(CGEventSourceStateID stateID);
bool CGPreflightPostEventAccess();

// --- Secure event input (Carbon, HIToolbox) -----------------------------------------------

Boolean IsSecureEventInputEnabled();

// --- Text Input Sources (Carbon) and key layouts (CoreServices) ---------------------------

struct OpaqueTISInputSource;
using TISInputSourceRef = OpaqueTISInputSource*;
struct UCKeyboardLayout;

extern const CFStringRef kTISPropertyUnicodeKeyLayoutData;

TISInputSourceRef TISCopyCurrentKeyboardLayoutInputSource();
TISInputSourceRef TISCopyCurrentASCIICapableKeyboardLayoutInputSource();
void* TISGetInputSourceProperty(TISInputSourceRef inputSource, CFStringRef propertyKey);
UInt8 LMGetKbdType();
OSStatus UCKeyTranslate(const UCKeyboardLayout* keyLayoutPtr, UInt16 virtualKeyCode,
                        UInt16 keyAction, UInt32 modifierKeyState, UInt32 keyboardType,
                        OptionBits keyTranslateOptions, UInt32* deadKeyState,
                        UniCharCount maxStringLength, UniCharCount* actualStringLength,
                        UniChar unicodeString[]);

}  // namespace LARKSPIN_SDK_NAMESPACE
