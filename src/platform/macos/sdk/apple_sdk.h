// The real Apple SDK, under the names the macOS backend's C++ files use (namespace sdk): the
// same list the stand-in header declares where there is no SDK.
#pragma once

#include <ApplicationServices/ApplicationServices.h>
#include <Carbon/Carbon.h>
#include <CoreFoundation/CoreFoundation.h>

namespace sdk {

using ::Boolean;
using ::CFIndex;
using ::CFTimeInterval;
using ::CFTypeID;
using ::CGFloat;
using ::OptionBits;
using ::OSStatus;
using ::SInt32;
using ::UInt16;
using ::UInt32;
using ::UInt8;
using ::UniChar;
using ::UniCharCount;

using ::CFAllocatorRef;
using ::CFArrayCallBacks;
using ::CFArrayRef;
using ::CFAttributedStringRef;
using ::CFBooleanRef;
using ::CFDataRef;
using ::CFNumberRef;
using ::CFNumberType;
using ::CFRange;
using ::CFRunLoopMode;
using ::CFRunLoopRunResult;
using ::CFStringRef;
using ::CFTypeRef;
using ::kCFNumberDoubleType;
using ::kCFNumberFloat64Type;
using ::kCFNumberSInt64Type;
using ::kCFRunLoopRunFinished;
using ::kCFRunLoopRunHandledSource;
using ::kCFRunLoopRunStopped;
using ::kCFRunLoopRunTimedOut;

using ::kCFAllocatorDefault;
using ::kCFBooleanFalse;
using ::kCFBooleanTrue;
using ::kCFRunLoopDefaultMode;
using ::kCFTypeArrayCallBacks;

using ::CFArrayCreate;
using ::CFArrayGetCount;
using ::CFArrayGetTypeID;
using ::CFArrayGetValueAtIndex;
using ::CFAttributedStringGetString;
using ::CFAttributedStringGetTypeID;
using ::CFBooleanGetTypeID;
using ::CFBooleanGetValue;
using ::CFDataGetBytePtr;
using ::CFEqual;
using ::CFGetTypeID;
using ::CFNumberCreate;
using ::CFNumberGetTypeID;
using ::CFNumberGetValue;
using ::CFNumberIsFloatType;
using ::CFRelease;
using ::CFRetain;
using ::CFRunLoopRunInMode;
using ::CFStringCreateWithCharacters;
using ::CFStringGetCharacters;
using ::CFStringGetLength;
using ::CFStringGetTypeID;

using ::AXError;
using ::AXUIElementRef;
using ::AXValueRef;
using ::AXValueType;
using ::CGPoint;
using ::CGRect;
using ::CGSize;
using ::kAXErrorActionUnsupported;
using ::kAXErrorAPIDisabled;
using ::kAXErrorAttributeUnsupported;
using ::kAXErrorCannotComplete;
using ::kAXErrorFailure;
using ::kAXErrorIllegalArgument;
using ::kAXErrorInvalidUIElement;
using ::kAXErrorInvalidUIElementObserver;
using ::kAXErrorNoValue;
using ::kAXErrorNotEnoughPrecision;
using ::kAXErrorNotificationAlreadyRegistered;
using ::kAXErrorNotificationNotRegistered;
using ::kAXErrorNotificationUnsupported;
using ::kAXErrorNotImplemented;
using ::kAXErrorParameterizedAttributeUnsupported;
using ::kAXErrorSuccess;
using ::kAXValueTypeAXError;
using ::kAXValueTypeCFRange;
using ::kAXValueTypeCGPoint;
using ::kAXValueTypeCGRect;
using ::kAXValueTypeCGSize;
using ::kAXValueTypeIllegal;

using ::AXIsProcessTrusted;
using ::AXUIElementCopyAttributeValue;
using ::AXUIElementCopyParameterizedAttributeValue;
using ::AXUIElementCreateApplication;
using ::AXUIElementCreateSystemWide;
using ::AXUIElementGetPid;
using ::AXUIElementGetTypeID;
using ::AXUIElementIsAttributeSettable;
using ::AXUIElementSetAttributeValue;
using ::AXUIElementSetMessagingTimeout;
using ::AXValueCreate;
using ::AXValueGetType;
using ::AXValueGetTypeID;
using ::AXValueGetValue;

using ::CGEventFlags;
using ::CGEventRef;
using ::CGEventSourceRef;
using ::CGEventSourceStateID;
using ::CGEventTapLocation;
using ::CGKeyCode;
using ::kCGAnnotatedSessionEventTap;
using ::kCGEventSourceStateCombinedSessionState;
using ::kCGEventSourceStateHIDSystemState;
using ::kCGEventSourceStatePrivate;
using ::kCGHIDEventTap;
using ::kCGSessionEventTap;

using ::CGEventCreateKeyboardEvent;
using ::CGEventPost;
using ::CGEventSetFlags;
using ::CGEventSourceCreate;
using ::CGEventSourceFlagsState;
using ::CGPreflightPostEventAccess;
using ::IsSecureEventInputEnabled;

using ::kTISPropertyUnicodeKeyLayoutData;
using ::LMGetKbdType;
using ::TISCopyCurrentASCIICapableKeyboardLayoutInputSource;
using ::TISCopyCurrentKeyboardLayoutInputSource;
using ::TISGetInputSourceProperty;
using ::TISInputSourceRef;
using ::UCKeyboardLayout;
using ::UCKeyTranslate;

}  // namespace sdk
