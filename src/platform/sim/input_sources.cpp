// Keyboard layouts on the simulated desktop: the "current" and "asciiCapable" layouts of the
// desktop file, and key translation over their byte blocks.
#include "platform/input_sources.h"

#include "platform/sim/handles.h"
#include "platform/sim/layouts.h"
#include "platform/sim/runtime.h"

namespace platform {

namespace {

std::optional<InputSource> sourceFor(sim::LayoutSlot sim::Desktop::*slot) {
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    const sim::LayoutSlot& layout = live->desktop.*slot;
    if (layout.kind == sim::LayoutSlot::Kind::absent) {
        return std::nullopt;
    }
    auto object = std::make_shared<InputSourceObject>();
    if (layout.kind == sim::LayoutSlot::Kind::layout) {
        object->layout = layout.layout;
    }
    return InputSource{std::move(object)};
}

}  // namespace

std::optional<InputSource> copyCurrentKeyboardLayoutInputSource() {
    return sourceFor(&sim::Desktop::currentLayout);
}

std::optional<InputSource> copyCurrentASCIICapableKeyboardLayoutInputSource() {
    return sourceFor(&sim::Desktop::asciiCapableLayout);
}

std::optional<KeyLayoutData> unicodeKeyLayoutData(const InputSource& source) {
    if (!source.object || !source.object->layout) {
        return std::nullopt;
    }
    auto object = std::make_shared<KeyLayoutDataObject>();
    object->layout = source.object->layout;
    return KeyLayoutData{std::move(object)};
}

const void* bytePointer(const KeyLayoutData& data) {
    if (!data.object || !data.object->layout || data.object->layout->bytes.empty()) {
        return nullptr;
    }
    return data.object->layout->bytes.data();
}

std::uint32_t keyboardType() {
    return 40;
}

KeyTranslation translateKey(const void* layout, std::uint16_t keyCode, std::uint16_t keyAction,
                            std::uint32_t modifierKeyState, std::uint32_t keyboardType,
                            std::uint32_t options, std::uint32_t& deadKeyState,
                            std::size_t maxLength) {
    // The layouts here have no dead keys, and only Command among the modifiers changes a key.
    (void)keyAction;
    (void)keyboardType;
    (void)options;
    deadKeyState = 0;
    return sim::translateLayoutBytes(layout, keyCode, modifierKeyState, maxLength);
}

}  // namespace platform
