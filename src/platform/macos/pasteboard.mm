// The general pasteboard over AppKit (Objective-C++, ARC): each call is the one NSPasteboard or
// NSPasteboardItem message, inside its own autorelease pool since the helper runs no
// NSApplication, and an Objective-C exception becomes the call's failure value instead of ending
// the helper without a reply. Strings cross as CFStrings through the C++ conversions.
#include "platform/pasteboard.h"

#import <AppKit/AppKit.h>

#include "cf_values.h"
#include "objc_answer.h"

namespace platform {

struct PasteboardObject {
    NSPasteboard* board;
};

// Items read from the pasteboard are bound to it; a restore writes new ones.
struct PasteboardItemObject {
    NSPasteboardItem* item;
};

namespace {

using macos::answer;

NSString* nsString(const std::string& text) {
    return (__bridge_transfer NSString*)macos::makeString(text).release();
}

std::string stringFrom(NSString* string) {
    return macos::stringFrom((__bridge CFStringRef)string);
}

NSPasteboard* boardOf(const Pasteboard& pasteboard) {
    return pasteboard.object ? pasteboard.object->board : nil;
}

NSPasteboardItem* itemOf(const PasteboardItem& item) {
    return item.object ? item.object->item : nil;
}

}  // namespace

Pasteboard generalPasteboard() {
    return answer(Pasteboard{}, [] {
        return Pasteboard{
            std::make_shared<PasteboardObject>(PasteboardObject{[NSPasteboard generalPasteboard]})};
    });
}

std::optional<std::vector<PasteboardItem>> pasteboardItems(const Pasteboard& pasteboard) {
    using Items = std::optional<std::vector<PasteboardItem>>;
    return answer(Items(), [&]() -> Items {
        NSArray<NSPasteboardItem*>* listed = [boardOf(pasteboard) pasteboardItems];
        if (listed == nil) {
            return std::nullopt;
        }
        std::vector<PasteboardItem> items;
        items.reserve(listed.count);
        for (NSPasteboardItem* item in listed) {
            items.push_back(
                PasteboardItem{std::make_shared<PasteboardItemObject>(PasteboardItemObject{item})});
        }
        return items;
    });
}

std::vector<std::string> types(const PasteboardItem& item) {
    return answer(std::vector<std::string>(), [&] {
        std::vector<std::string> names;
        for (NSPasteboardType type in [itemOf(item) types]) {
            names.push_back(stringFrom(type));
        }
        return names;
    });
}

std::optional<Bytes> dataForType(const PasteboardItem& item, const std::string& type) {
    return answer(std::optional<Bytes>(), [&]() -> std::optional<Bytes> {
        // A promised type is produced by its owner during this call, with no time-out of its own.
        NSData* data = [itemOf(item) dataForType:nsString(type)];
        if (data == nil) {
            return std::nullopt;
        }
        if (data.length == 0) {
            return Bytes();
        }
        return Bytes(static_cast<const char*>(data.bytes), data.length);
    });
}

std::int64_t changeCount(const Pasteboard& pasteboard) {
    return answer(std::int64_t{-1},
                  [&] { return static_cast<std::int64_t>([boardOf(pasteboard) changeCount]); });
}

std::int64_t clearContents(const Pasteboard& pasteboard) {
    return answer(std::int64_t{-1},
                  [&] { return static_cast<std::int64_t>([boardOf(pasteboard) clearContents]); });
}

std::int64_t prepareForNewContents(const Pasteboard& pasteboard, std::uint64_t options) {
    return answer(std::int64_t{-1}, [&] {
        return static_cast<std::int64_t>([boardOf(pasteboard)
            prepareForNewContentsWithOptions:static_cast<NSPasteboardContentsOptions>(options)]);
    });
}

PasteboardAccessBehavior accessBehavior(const Pasteboard& pasteboard) {
    return answer(PasteboardAccessBehavior::defaultBehavior, [&] {
        if (@available(macOS 15.4, *)) {
            return static_cast<PasteboardAccessBehavior>([boardOf(pasteboard) accessBehavior]);
        }
        return PasteboardAccessBehavior::defaultBehavior;
    });
}

PasteboardItem newPasteboardItem() {
    return answer(PasteboardItem{}, [] {
        return PasteboardItem{std::make_shared<PasteboardItemObject>(
            PasteboardItemObject{[[NSPasteboardItem alloc] init]})};
    });
}

bool setData(const PasteboardItem& item, Bytes data, const std::string& type) {
    return answer(false, [&] {
        NSData* bytes = nil;
        if (data.empty()) {
            bytes = [NSData data];
        } else {
            // The data object takes the bytes over rather than copying them: a large text is
            // held once, and freed with the object.
            auto* owned = new Bytes(std::move(data));
            bytes = [[NSData alloc] initWithBytesNoCopy:owned->data()
                                                 length:owned->size()
                                            deallocator:^(void*, NSUInteger) {
                                              delete owned;
                                            }];
        }
        return [itemOf(item) setData:bytes forType:nsString(type)] == YES;
    });
}

bool writeObjects(const Pasteboard& pasteboard, const std::vector<PasteboardItem>& items) {
    return answer(false, [&] {
        NSMutableArray<NSPasteboardItem*>* written =
            [NSMutableArray arrayWithCapacity:items.size()];
        for (const PasteboardItem& item : items) {
            if (NSPasteboardItem* object = itemOf(item)) {
                [written addObject:object];
            }
        }
        return [boardOf(pasteboard) writeObjects:written] == YES;
    });
}

bool setString(const Pasteboard& pasteboard, const std::string& text, const std::string& type) {
    return answer(false, [&] {
        return [boardOf(pasteboard) setString:nsString(text) forType:nsString(type)] == YES;
    });
}

std::optional<std::string> stringForType(const Pasteboard& pasteboard, const std::string& type) {
    return answer(std::optional<std::string>(), [&]() -> std::optional<std::string> {
        NSString* string = [boardOf(pasteboard) stringForType:nsString(type)];
        if (string == nil) {
            return std::nullopt;
        }
        return stringFrom(string);
    });
}

}  // namespace platform
