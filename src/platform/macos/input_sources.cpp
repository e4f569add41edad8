// Keyboard layouts over Text Input Sources and UCKeyTranslate. TIS must be called on the main
// thread, which is where the helper looks up its keys.
#include "platform/input_sources.h"

#include "objects.h"

namespace platform {

namespace {

std::optional<InputSource> sourceOf(sdk::TISInputSourceRef copied) {
    macos::Owned<sdk::TISInputSourceRef> source(copied);
    if (!source) {
        return std::nullopt;
    }
    return InputSource{std::make_shared<InputSourceObject>(std::move(source))};
}

}  // namespace

std::optional<InputSource> copyCurrentKeyboardLayoutInputSource() {
    return sourceOf(sdk::TISCopyCurrentKeyboardLayoutInputSource());
}

std::optional<InputSource> copyCurrentASCIICapableKeyboardLayoutInputSource() {
    return sourceOf(sdk::TISCopyCurrentASCIICapableKeyboardLayoutInputSource());
}

std::optional<KeyLayoutData> unicodeKeyLayoutData(const InputSource& source) {
    if (!source.object || !source.object->ref) {
        return std::nullopt;
    }
    void* property = sdk::TISGetInputSourceProperty(source.object->ref.get(),
                                                    sdk::kTISPropertyUnicodeKeyLayoutData);
    if (property == nullptr) {
        return std::nullopt;  // an input method, say, whose source has no layout of its own
    }
    auto data = macos::Owned<sdk::CFDataRef>::retained(static_cast<sdk::CFDataRef>(property));
    return KeyLayoutData{std::make_shared<KeyLayoutDataObject>(std::move(data))};
}

const void* bytePointer(const KeyLayoutData& data) {
    if (!data.object || !data.object->ref) {
        return nullptr;
    }
    return sdk::CFDataGetBytePtr(data.object->ref.get());
}

std::uint32_t keyboardType() {
    return sdk::LMGetKbdType();
}

KeyTranslation translateKey(const void* layout, std::uint16_t keyCode, std::uint16_t keyAction,
                            std::uint32_t modifierKeyState, std::uint32_t keyboardType,
                            std::uint32_t options, std::uint32_t& deadKeyState,
                            std::size_t maxLength) {
    // One unit more than asked, so that the buffer is never empty.
    std::vector<sdk::UniChar> buffer(maxLength + 1, 0);
    sdk::UniCharCount actual = 0;
    sdk::UInt32 deadKeys = deadKeyState;
    const sdk::OSStatus status = sdk::UCKeyTranslate(
        static_cast<const sdk::UCKeyboardLayout*>(layout), keyCode, keyAction, modifierKeyState,
        keyboardType, options, &deadKeys, maxLength, &actual, buffer.data());
    deadKeyState = deadKeys;
    KeyTranslation translation;
    translation.status = status;
    const std::size_t produced = actual < maxLength ? actual : maxLength;
    translation.units.assign(buffer.begin(),
                             buffer.begin() + static_cast<std::ptrdiff_t>(produced));
    return translation;
}

}  // namespace platform
