// The table: Carbon's kVK_ constants (Events.h) against <linux/input-event-codes.h>.
#include "key_positions.h"

#include <array>

namespace platform::x11 {

namespace {

// The evdev number of each Mac code's key, 0 for none; ten to a row.
// clang-format off
constexpr std::array<std::uint8_t, macKeyCodes> evdev = {
    30,  31,  32,  33,  35,  34,  44,  45,  46,  47,   // A S D F H G Z X C V
    86,  48,  16,  17,  18,  19,  21,  20,  2,   3,    // ISO section, B Q W E R Y T 1 2
    4,   5,   7,   6,   13,  10,  8,   12,  9,   11,   // 3 4 6 5 = 9 7 - 8 0
    27,  24,  22,  26,  23,  25,  28,  38,  36,  40,   // ] O U [ I P return L J '
    37,  39,  43,  51,  53,  49,  50,  52,  15,  57,   // K ; \ , / N M . tab space
    41,  14,  0,   1,   126, 125, 42,  58,  56,  29,   // ` delete, -, escape, right and left command, shift, caps lock, option, control
    54,  100, 97,  0,   187, 83,  0,   55,  0,   78,   // right shift, option, control, fn, F17, keypad . -, keypad *, -, keypad +
    0,   69,  115, 114, 113, 98,  96,  0,   74,  188,  // -, keypad clear, volume up, down, mute, keypad / enter, -, keypad -, F18
    189, 117, 82,  79,  80,  81,  75,  76,  77,  71,   // F19, keypad = 0 1 2 3 4 5 6 7
    190, 72,  73,  124, 89,  95,  63,  64,  65,  61,   // F20, keypad 8 9, yen, ro, keypad comma, F5 F6 F7 F3
    66,  67,  0,   87,  0,   183, 186, 184, 0,   68,   // F8 F9, eisu, F11, kana, F13 F16 F14, -, F10
    0,   88,  0,   185, 110, 102, 104, 111, 62,  107,  // -, F12, -, F15, help (insert) home, page up, forward delete, F4, end
    60,  109, 59,  105, 106, 108, 103, 0,              // F2, page down, F1, left right down up, -
};
// clang-format on

constexpr unsigned evdevToX = 8;

}  // namespace

unsigned xKeycodeAt(std::uint16_t macKeyCode) {
    if (macKeyCode >= macKeyCodes || evdev[macKeyCode] == 0) {
        return 0;
    }
    return evdev[macKeyCode] + evdevToX;
}

}  // namespace platform::x11
