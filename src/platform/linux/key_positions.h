// Key positions: the Mac virtual key codes the core speaks (which name physical keys of the
// ANSI keyboard) and the X keycodes of the same keys, through a fixed table of Linux's evdev
// numbers.
#pragma once

#include <cstdint>

namespace platform::x11 {

/// Mac virtual key codes run from 0 to 127.
inline constexpr std::uint16_t macKeyCodes = 128;

/// The X keycode (evdev number + 8) of the key at the Mac code's position; 0 where that position
/// has no key on a PC keyboard (the Fn key, the codes Apple leaves unused).
unsigned xKeycodeAt(std::uint16_t macKeyCode);

}  // namespace platform::x11
