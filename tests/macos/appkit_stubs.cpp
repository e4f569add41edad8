// The pasteboard and the workspace are Objective-C++ and are only built on Apple systems; so
// that the core links with the rest of the macOS backend here, they answer as absent.
#include "platform/pasteboard.h"
#include "platform/workspace.h"

namespace platform {

struct PasteboardObject {};
struct PasteboardItemObject {};
struct RunningApplicationObject {};

Pasteboard generalPasteboard() {
    return {};
}
std::optional<std::vector<PasteboardItem>> pasteboardItems(const Pasteboard&) {
    return std::nullopt;
}
std::vector<std::string> types(const PasteboardItem&) {
    return {};
}
std::optional<Bytes> dataForType(const PasteboardItem&, const std::string&) {
    return std::nullopt;
}
std::int64_t changeCount(const Pasteboard&) {
    return 0;
}
std::int64_t clearContents(const Pasteboard&) {
    return 0;
}
std::int64_t prepareForNewContents(const Pasteboard&, std::uint64_t) {
    return 0;
}
PasteboardAccessBehavior accessBehavior(const Pasteboard&) {
    return PasteboardAccessBehavior::defaultBehavior;
}
PasteboardItem newPasteboardItem() {
    return {};
}
bool setData(const PasteboardItem&, Bytes, const std::string&) {
    return false;
}
bool writeObjects(const Pasteboard&, const std::vector<PasteboardItem>&) {
    return false;
}
bool setString(const Pasteboard&, const std::string&, const std::string&) {
    return false;
}
std::optional<std::string> stringForType(const Pasteboard&, const std::string&) {
    return std::nullopt;
}

std::optional<RunningApplication> frontmostApplication() {
    return std::nullopt;
}
std::optional<RunningApplication> runningApplicationWithProcessIdentifier(Pid) {
    return std::nullopt;
}
Pid processIdentifier(const RunningApplication&) {
    return 0;
}
std::optional<std::string> bundleIdentifier(const RunningApplication&) {
    return std::nullopt;
}
std::optional<std::string> localizedName(const RunningApplication&) {
    return std::nullopt;
}
bool isTerminated(const RunningApplication&) {
    return true;
}
bool activateWithOptions(const RunningApplication&, std::uint64_t) {
    return false;
}
bool activateFromApplication(const RunningApplication&, const RunningApplication&, std::uint64_t) {
    return false;
}
bool isOperatingSystemAtLeast(int, int, int) {
    return false;
}

}  // namespace platform
