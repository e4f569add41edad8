// Command chords on the user's keyboard layout: the key code that types a character there, and
// the posting of a Command-key press.
#pragma once

#include <cstdint>
#include <string_view>

namespace clipboard {

// The lowest key code 0..127 that types the character while Command is held (the key a Command
// chord of that letter needs) on the current layout, else on the ASCII-capable one, else the
// fallback. On most layouts that is the key that types the letter alone; on layouts that keep
// their shortcuts on the US keys ("Dvorak - QWERTY ⌘") it is not.
std::uint16_t keyCode(std::string_view character, std::uint16_t fallback);

// One key-down and key-up of the key with the Command flag alone, at the HID tap.
void postCommand(std::uint16_t keyCode);

// Whether posted keys can reach the front application at all: the permission to post events is
// there and no application holds secure keyboard input.
enum class KeyPath { open, notAllowed, secureInput };
KeyPath keyPath();

// Waits up to frame::modifierReleaseMs until the user holds no Shift, Control, Option or Command
// key (they would turn Command-V into another shortcut); true when none is held.
bool awaitModifiersReleased();

}  // namespace clipboard
