// Command chords on the user's keyboard layout: the key code that types a character there, and
// the posting of a Command-key press.
#pragma once

#include <cstdint>
#include <string_view>

namespace clipboard {

// The lowest key code 0..127 that types the character without modifiers on the current layout,
// else on the ASCII-capable one, else the fallback.
std::uint16_t keyCode(std::string_view character, std::uint16_t fallback);

// One key-down and key-up of the key with the Command flag alone, at the HID tap.
void postCommand(std::uint16_t keyCode);

}  // namespace clipboard
