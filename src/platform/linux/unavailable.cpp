// The services this backend does not have yet: the pasteboard is an empty handle and any use of
// it, like any key event, ends the command with an "internal" reply that says so; keyboard
// layouts are simply absent, as when none is set.
#include "platform/events.h"
#include "platform/input_sources.h"
#include "platform/pasteboard.h"
#include "unusable.h"

namespace platform {

namespace {

[[noreturn]] void noPasteboard() {
    atspi::unusable("the pasteboard is not available on this backend");
}

[[noreturn]] void noEvents() {
    atspi::unusable("key events are not available on this backend");
}

}  // namespace

// An empty handle: asking for the pasteboard is how the commands learn that there is none,
// and a command that only gives back what it borrowed (nothing, here) must not end on it.
Pasteboard generalPasteboard() {
    return Pasteboard{};
}

std::optional<std::vector<PasteboardItem>> pasteboardItems(const Pasteboard& /*pasteboard*/) {
    noPasteboard();
}

std::vector<std::string> types(const PasteboardItem& /*item*/) {
    noPasteboard();
}

std::optional<Bytes> dataForType(const PasteboardItem& /*item*/, const std::string& /*type*/) {
    noPasteboard();
}

std::int64_t changeCount(const Pasteboard& /*pasteboard*/) {
    noPasteboard();
}

std::int64_t clearContents(const Pasteboard& /*pasteboard*/) {
    noPasteboard();
}

std::int64_t prepareForNewContents(const Pasteboard& /*pasteboard*/, std::uint64_t /*options*/) {
    noPasteboard();
}

// Nothing stands between this program and a pasteboard it has; there is none to ask about yet.
PasteboardAccessBehavior accessBehavior(const Pasteboard& /*pasteboard*/) {
    return PasteboardAccessBehavior::defaultBehavior;
}

PasteboardItem newPasteboardItem() {
    noPasteboard();
}

bool setData(const PasteboardItem& /*item*/, Bytes /*data*/, const std::string& /*type*/) {
    noPasteboard();
}

bool writeObjects(const Pasteboard& /*pasteboard*/, const std::vector<PasteboardItem>& /*items*/) {
    noPasteboard();
}

bool setString(const Pasteboard& /*pasteboard*/, const std::string& /*text*/,
               const std::string& /*type*/) {
    noPasteboard();
}

std::optional<std::string> stringForType(const Pasteboard& /*pasteboard*/,
                                         const std::string& /*type*/) {
    noPasteboard();
}

std::optional<EventSource> createEventSource(std::int32_t /*stateId*/) {
    noEvents();
}

std::optional<Event> createKeyboardEvent(const std::optional<EventSource>& /*source*/,
                                         std::uint16_t /*keyCode*/, bool /*keyDown*/) {
    noEvents();
}

void setFlags(const Event& /*event*/, std::uint64_t /*flags*/) {
    noEvents();
}

void postEvent(std::uint32_t /*tap*/, const Event& /*event*/) {
    noEvents();
}

// No permission stands in the way here: the first event made ends the command as unavailable.
bool preflightPostEventAccess() {
    return true;
}

bool isSecureEventInputEnabled() {
    return false;
}

std::uint64_t eventSourceFlagsState(std::int32_t /*stateId*/) {
    return 0;
}

std::optional<InputSource> copyCurrentKeyboardLayoutInputSource() {
    return std::nullopt;
}

std::optional<InputSource> copyCurrentASCIICapableKeyboardLayoutInputSource() {
    return std::nullopt;
}

std::optional<KeyLayoutData> unicodeKeyLayoutData(const InputSource& /*source*/) {
    return std::nullopt;
}

const void* bytePointer(const KeyLayoutData& /*data*/) {
    return nullptr;
}

std::uint32_t keyboardType() {
    return 0;
}

KeyTranslation translateKey(const void* /*layout*/, std::uint16_t /*keyCode*/,
                            std::uint16_t /*keyAction*/, std::uint32_t /*modifierKeyState*/,
                            std::uint32_t /*keyboardType*/, std::uint32_t /*options*/,
                            std::uint32_t& /*deadKeyState*/, std::size_t /*maxLength*/) {
    return KeyTranslation{-50, {}};  // paramErr: there is no layout to translate with
}

}  // namespace platform
