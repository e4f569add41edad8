// Foundation and AppKit as the macOS backend's Objective-C++ files use them, declared from
// Apple's documented interfaces so that those files can be checked where there is no SDK (a
// syntax check under ARC; nothing is linked against it). Only the classes, methods, properties
// and constants the .mm files use are here, with the SDK's types: a call that does not match the
// documented signature, or a cast across the ARC boundary without the right bridge, fails the
// check as it would fail the build on a Mac.
#pragma once

#include "../apple_sdk.h"

#pragma clang assume_nonnull begin

// --- Objective-C and Foundation basics --------------------------------------------------------

typedef signed char BOOL;
#define YES ((BOOL)1)
#define NO ((BOOL)0)
#ifndef nil
#define nil nullptr
#endif
typedef long NSInteger;
typedef unsigned long NSUInteger;

// The Core Foundation names the .mm files bridge to, as the SDK spells them.
using CFStringRef = sdk::CFStringRef;
using CFTypeRef = sdk::CFTypeRef;

@protocol NSObject
@end

__attribute__((objc_root_class))
@interface NSObject<NSObject>
+ (instancetype)alloc;
- (instancetype)init;
@end

@interface NSString : NSObject
@end

typedef struct {
    unsigned long state;
    __unsafe_unretained id _Nullable* _Nullable itemsPtr;
    unsigned long* _Nullable mutationsPtr;
    unsigned long extra[5];
} NSFastEnumerationState;

@protocol NSFastEnumeration
- (NSUInteger)countByEnumeratingWithState:(NSFastEnumerationState* _Nonnull)state
                                  objects:(__unsafe_unretained id _Nullable[_Nonnull])buffer
                                    count:(NSUInteger)len;
@end

@interface NSArray<__covariant ObjectType> : NSObject <NSFastEnumeration>
@property(readonly) NSUInteger count;
@end

@interface NSMutableArray<ObjectType> : NSArray <ObjectType>
+ (instancetype)arrayWithCapacity:(NSUInteger)numItems;
- (void)addObject:(ObjectType)anObject;
@end

@interface NSData : NSObject
+ (instancetype)data;
- (instancetype)initWithBytesNoCopy:(void*)bytes
                             length:(NSUInteger)length
                        deallocator:(nullable void (^)(void* bytes, NSUInteger length))deallocator;
@property(readonly) NSUInteger length;
@property(readonly) const void* bytes;
@end

@interface NSException : NSObject
@end

typedef struct {
    NSInteger majorVersion;
    NSInteger minorVersion;
    NSInteger patchVersion;
} NSOperatingSystemVersion;

@interface NSProcessInfo : NSObject
@property(class, readonly, strong) NSProcessInfo* processInfo;
- (BOOL)isOperatingSystemAtLeastVersion:(NSOperatingSystemVersion)version;
@end

// --- AppKit: the pasteboard ----------------------------------------------------------------------

typedef NSString* NSPasteboardType;

@protocol NSPasteboardWriting <NSObject>
@end

typedef NSUInteger NSPasteboardContentsOptions;
enum : NSUInteger {
    NSPasteboardContentsCurrentHostOnly = 1 << 0,
};

typedef NSInteger NSPasteboardAccessBehavior;
enum : NSInteger {
    NSPasteboardAccessBehaviorDefault = 0,
    NSPasteboardAccessBehaviorAsk = 1,
    NSPasteboardAccessBehaviorAlwaysAllow = 2,
    NSPasteboardAccessBehaviorAlwaysDeny = 3,
};

@interface NSPasteboardItem : NSObject <NSPasteboardWriting>
@property(readonly, copy) NSArray<NSPasteboardType>* types;
- (nullable NSData*)dataForType:(NSPasteboardType)type;
- (BOOL)setData:(NSData*)data forType:(NSPasteboardType)type;
@end

@interface NSPasteboard : NSObject
@property(class, readonly, strong) NSPasteboard* generalPasteboard;
@property(readonly) NSInteger changeCount;
@property(readonly, nullable, copy) NSArray<NSPasteboardItem*>* pasteboardItems;
@property(readonly) NSPasteboardAccessBehavior accessBehavior
    __attribute__((availability(macos, introduced=15.4)));
- (NSInteger)clearContents;
- (NSInteger)prepareForNewContentsWithOptions:(NSPasteboardContentsOptions)options;
- (BOOL)writeObjects:(NSArray<id<NSPasteboardWriting>>*)objects;
- (BOOL)setString:(NSString*)string forType:(NSPasteboardType)dataType;
- (nullable NSString*)stringForType:(NSPasteboardType)dataType;
@end

// --- AppKit: the workspace -----------------------------------------------------------------------

typedef NSUInteger NSApplicationActivationOptions;
enum : NSUInteger {
    NSApplicationActivateAllWindows = 1 << 0,
    NSApplicationActivateIgnoringOtherApps = 1 << 1,
};

@interface NSRunningApplication : NSObject
+ (nullable instancetype)runningApplicationWithProcessIdentifier:(pid_t)pid;
@property(readonly) pid_t processIdentifier;
@property(readonly, nullable, copy) NSString* bundleIdentifier;
@property(readonly, nullable, copy) NSString* localizedName;
@property(readonly, getter=isTerminated) BOOL terminated;
- (BOOL)activateWithOptions:(NSApplicationActivationOptions)options;
- (BOOL)activateFromApplication:(NSRunningApplication*)application
                        options:(NSApplicationActivationOptions)options
    __attribute__((availability(macos, introduced = 14.0)));
@end

@interface NSWorkspace : NSObject
@property(class, readonly, strong) NSWorkspace* sharedWorkspace;
@property(readonly, nullable, strong) NSRunningApplication* frontmostApplication;
@end

#pragma clang assume_nonnull end
