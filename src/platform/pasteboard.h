// The AppKit pasteboard (NSPasteboard, NSPasteboardItem): items, their types and bytes, the
// change count, and the writes a borrowing command makes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// An item's data for one type, any bytes. A string, so that a text becomes an item's data, and
// the data a text, without a copy.
using Bytes = std::string;

// NSPasteboardTypeString.
inline constexpr const char* plainTextType = "public.utf8-plain-text";

struct PasteboardObject;
struct Pasteboard {
    std::shared_ptr<PasteboardObject> object;
};

// An NSPasteboardItem: one listed by the pasteboard, or a new one made for writing.
struct PasteboardItemObject;
struct PasteboardItem {
    std::shared_ptr<PasteboardItemObject> object;
};

// +[NSPasteboard generalPasteboard]; an empty handle on a backend that has no pasteboard.
Pasteboard generalPasteboard();

// -pasteboardItems: the items in pasteboard order, or absent.
std::optional<std::vector<PasteboardItem>> pasteboardItems(const Pasteboard& pasteboard);

// -[NSPasteboardItem types]: the item's type identifiers in its order.
std::vector<std::string> types(const PasteboardItem& item);

// -[NSPasteboardItem dataForType:]: the bytes, or absent (a promise that yields nothing).
std::optional<Bytes> dataForType(const PasteboardItem& item, const std::string& type);

// -changeCount: moves whenever anybody writes the pasteboard.
std::int64_t changeCount(const Pasteboard& pasteboard);

// -clearContents: empties the pasteboard and takes ownership; returns the new change count.
std::int64_t clearContents(const Pasteboard& pasteboard);

// NSPasteboardContentsCurrentHostOnly: what is written stays on this device (no Universal
// Clipboard).
inline constexpr std::uint64_t contentsCurrentHostOnly = 1;

// -prepareForNewContentsWithOptions:: clearContents with options; returns the new change count.
std::int64_t prepareForNewContents(const Pasteboard& pasteboard, std::uint64_t options);

// NSPasteboardAccessBehavior: what the system does when this program reads the pasteboard's data
// (macOS 15.4 and later; earlier systems always allow, reported as the default).
enum class PasteboardAccessBehavior : std::int64_t {
    defaultBehavior = 0,
    ask = 1,
    alwaysAllow = 2,
    alwaysDeny = 3,
};

// -accessBehavior.
PasteboardAccessBehavior accessBehavior(const Pasteboard& pasteboard);

// -[NSPasteboardItem init]: a fresh, empty item for writing.
PasteboardItem newPasteboardItem();

// -[NSPasteboardItem setData:forType:] on a new item.
bool setData(const PasteboardItem& item, Bytes data, const std::string& type);

// -writeObjects: with new items, in order; false when the pasteboard refused the write (AppKit
// may refuse a list holding an item without any type).
bool writeObjects(const Pasteboard& pasteboard, const std::vector<PasteboardItem>& items);

// -setString:forType:.
bool setString(const Pasteboard& pasteboard, const std::string& text, const std::string& type);

// -stringForType:: the string the pasteboard holds for that type, or absent.
std::optional<std::string> stringForType(const Pasteboard& pasteboard, const std::string& type);

// The front application's selected text as a platform offers it without a key press (X11's
// PRIMARY selection, which an application owns while text is selected in it), and whether a
// copy chord may be pressed into that application at all.
struct QuietSelection {
    bool keysAllowed = true;
    std::optional<std::string> text;
};

// Asked by the copy probe before anything else. macOS has no such selection: keys are allowed
// and there is no text.
QuietSelection selectionWithoutKeys();

}  // namespace platform
