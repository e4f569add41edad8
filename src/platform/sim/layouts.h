// Keyboard layouts of the simulated desktop: the built-in ones by name, custom key maps, and the
// byte block that stands in for a layout's Unicode key-layout data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/input_sources.h"
#include "platform/sim/model.h"

namespace platform::sim {

/// "us", "dvorak", "azerty", "qwertz" or "dvorak-qwerty"; null for any other name.
std::shared_ptr<const KeyLayout> builtinLayout(std::string_view name);

/// A layout from a custom key map; fills in the Command keys it does not name, and its byte block.
std::shared_ptr<const KeyLayout> customLayout(KeyLayout layout);

/// The US layout, which applications read key codes through when no layout has data.
const KeyLayout& usLayout();

/// The output of a key code without modifiers, or with Command held; empty for a key without
/// output or above 127.
std::u16string_view keyOutput(const KeyLayout& layout, std::uint16_t keyCode, bool command);

/// UCKeyTranslate over a byte block made here, reading the Command table when the modifier state
/// holds Command: status 0 and at most maxLength units; status -50 (paramErr) for a null or
/// foreign block.
KeyTranslation translateLayoutBytes(const void* bytes, std::uint16_t keyCode,
                                    std::uint32_t modifierKeyState, std::size_t maxLength);

}  // namespace platform::sim
