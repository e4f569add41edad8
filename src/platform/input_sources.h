// Text Input Sources (Carbon) and UCKeyTranslate: which character a key code types on a
// keyboard layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

struct InputSourceObject;
struct InputSource {
    std::shared_ptr<InputSourceObject> object;
};

// The layout's kTISPropertyUnicodeKeyLayoutData block (a CFDataRef), kept alive by the handle.
struct KeyLayoutDataObject;
struct KeyLayoutData {
    std::shared_ptr<KeyLayoutDataObject> object;
};

// UCKeyTranslate's key action for the character a key shows (kUCKeyActionDisplay).
inline constexpr std::uint16_t keyActionDisplay = 3;
// UCKeyTranslate's modifier key state with Command held: Carbon's cmdKey (0x100) shifted right by
// 8. Layouts whose Command shortcuts sit on other keys than their letters answer differently.
inline constexpr std::uint32_t commandKeyModifierState = 1;

struct KeyTranslation {
    std::int32_t status = 0;      // OSStatus; 0 is noErr
    std::vector<char16_t> units;  // the UTF-16 units produced
};

// TISCopyCurrentKeyboardLayoutInputSource, or absent.
std::optional<InputSource> copyCurrentKeyboardLayoutInputSource();

// TISCopyCurrentASCIICapableKeyboardLayoutInputSource, or absent.
std::optional<InputSource> copyCurrentASCIICapableKeyboardLayoutInputSource();

// TISGetInputSourceProperty with kTISPropertyUnicodeKeyLayoutData, or absent.
std::optional<KeyLayoutData> unicodeKeyLayoutData(const InputSource& source);

// CFDataGetBytePtr of the block: the UCKeyboardLayout, or null.
const void* bytePointer(const KeyLayoutData& data);

// LMGetKbdType: the physical keyboard type.
std::uint32_t keyboardType();

// UCKeyTranslate over the layout bytes; deadKeyState is read and updated as the call does.
KeyTranslation translateKey(const void* layout, std::uint16_t keyCode, std::uint16_t keyAction,
                            std::uint32_t modifierKeyState, std::uint32_t keyboardType,
                            std::uint32_t options, std::uint32_t& deadKeyState,
                            std::size_t maxLength);

}  // namespace platform
