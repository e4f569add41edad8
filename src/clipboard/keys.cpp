// Key lookup through UCKeyTranslate and Command chords through Quartz events.
#include "clipboard/keys.h"

#include <optional>

#include "ax/poll.h"
#include "frame/tunables.h"
#include "platform/events.h"
#include "platform/input_sources.h"
#include "text/utf8.h"

namespace clipboard {

namespace {

constexpr std::uint16_t lastKeyCode = 127;
constexpr std::size_t translationUnits = 4;

std::optional<std::uint16_t> findKey(const std::optional<platform::InputSource>& source,
                                     char16_t target) {
    if (!source) {
        return std::nullopt;
    }
    const auto data = platform::unicodeKeyLayoutData(*source);
    const void* layout = data ? platform::bytePointer(*data) : nullptr;
    if (layout == nullptr) {
        return std::nullopt;
    }
    const std::uint32_t keyboard = platform::keyboardType();
    for (std::uint16_t code = 0; code <= lastKeyCode; ++code) {
        std::uint32_t deadKeyState = 0;
        const platform::KeyTranslation translation = platform::translateKey(
            layout, code, platform::keyActionDisplay, platform::commandKeyModifierState, keyboard,
            0, deadKeyState, translationUnits);
        if (translation.status == 0 && translation.units.size() == 1 &&
            translation.units.front() == target) {
            return code;
        }
    }
    return std::nullopt;
}

void post(const std::optional<platform::EventSource>& source, std::uint16_t code, bool down) {
    if (const auto event = platform::createKeyboardEvent(source, code, down)) {
        platform::setFlags(*event, platform::eventFlagMaskCommand);
        platform::postEvent(platform::hidEventTap, *event);
    }
}

}  // namespace

std::uint16_t keyCode(std::string_view character, std::uint16_t fallback) {
    const std::u16string units = text::toUtf16(character);
    if (units.empty()) {
        return fallback;
    }
    // Both layouts are asked for before either is searched.
    const auto current = platform::copyCurrentKeyboardLayoutInputSource();
    const auto asciiCapable = platform::copyCurrentASCIICapableKeyboardLayoutInputSource();
    for (const auto* source : {&current, &asciiCapable}) {
        if (const auto code = findKey(*source, units.front())) {
            return *code;
        }
    }
    return fallback;
}

void postCommand(std::uint16_t keyCode) {
    const auto source = platform::createEventSource(platform::eventSourceStatePrivate);
    post(source, keyCode, true);
    post(source, keyCode, false);
}

KeyPath keyPath() {
    if (!platform::preflightPostEventAccess()) {
        return KeyPath::notAllowed;
    }
    return platform::isSecureEventInputEnabled() ? KeyPath::secureInput : KeyPath::open;
}

bool awaitModifiersReleased() {
    constexpr std::uint64_t held = platform::eventFlagMaskShift | platform::eventFlagMaskControl |
                                   platform::eventFlagMaskAlternate |
                                   platform::eventFlagMaskCommand;
    return ax::poll(frame::modifierReleaseMs, [] {
        return (platform::eventSourceFlagsState(platform::eventSourceStateHIDSystemState) & held) ==
               0;
    });
}

}  // namespace clipboard
