// Keyboard layouts through XKB. An input source is a group of the keyboard's map: the current
// one, or the first that types every Latin letter (the ASCII-capable one, for layouts such as
// Russian whose current group has no "v"). Its layout data is the map itself, and a key code
// is translated at its Mac position, with the modifiers of the chord held, as GTK and Qt look up
// their shortcuts: by the key symbol the current group gives the key.
#include <X11/XKBlib.h>
#include <X11/keysym.h>
#include <algorithm>

#include "key_positions.h"
#include "platform/input_sources.h"
#include "xlink.h"

namespace platform {

struct InputSourceObject {
    int group = 0;
};

struct KeyLayoutDataObject {
    XkbDescPtr keymap = nullptr;
    int group = 0;

    KeyLayoutDataObject(XkbDescPtr keymap, int group) : keymap(keymap), group(group) {}
    KeyLayoutDataObject(const KeyLayoutDataObject&) = delete;
    KeyLayoutDataObject& operator=(const KeyLayoutDataObject&) = delete;
    ~KeyLayoutDataObject() { XkbFreeKeyboard(keymap, XkbAllComponentsMask, True); }
};

namespace {

// The keyboard's map; null without a display or XKB. Client link held.
XkbDescPtr fetchKeymap(Display* display) {
    return XkbGetMap(display, XkbAllClientInfoMask, XkbUseCoreKbd);
}

// The modifier key state of UCKeyTranslate (Carbon's modifiers shifted right by 8) as X11
// modifiers: Command is Control here, Option the third level's AltGr.
unsigned xModifiers(std::uint32_t state) {
    unsigned mods = 0;
    mods |= (state & 0x01) != 0 ? ControlMask : 0;  // cmdKey
    mods |= (state & 0x02) != 0 ? ShiftMask : 0;    // shiftKey
    mods |= (state & 0x04) != 0 ? LockMask : 0;     // alphaLock
    mods |= (state & 0x08) != 0 ? Mod5Mask : 0;     // optionKey
    mods |= (state & 0x10) != 0 ? ControlMask : 0;  // controlKey
    return mods;
}

// The character of a key symbol: Latin-1 symbols are their own code points, the symbols XKB
// makes for every other character carry the code point, and the keypad's are ASCII; legacy
// symbols of other scripts and function keys have none here (a chord's letters are Latin).
std::optional<char32_t> characterOf(KeySym symbol) {
    if ((symbol >= 0x20 && symbol <= 0x7E) || (symbol >= 0xA0 && symbol <= 0xFF)) {
        return static_cast<char32_t>(symbol);
    }
    if ((symbol & 0xFF000000UL) == 0x01000000UL) {
        return static_cast<char32_t>(symbol & 0x00FFFFFFUL);
    }
    // The keypad's characters: KP_Multiply to KP_9 and KP_Equal sit 0xFF80 above ASCII.
    if ((symbol >= XK_KP_Multiply && symbol <= XK_KP_9) || symbol == XK_KP_Equal) {
        return static_cast<char32_t>(symbol - 0xFF80);
    }
    return std::nullopt;
}

std::optional<char32_t> characterAt(XkbDescPtr keymap, unsigned keycode, int group, unsigned mods) {
    if (keymap == nullptr || keycode < keymap->min_key_code || keycode > keymap->max_key_code) {
        return std::nullopt;
    }
    unsigned consumed = 0;
    KeySym symbol = NoSymbol;
    if (!XkbTranslateKeyCode(keymap, static_cast<KeyCode>(keycode), XkbBuildCoreState(mods, group),
                             &consumed, &symbol)) {
        return std::nullopt;
    }
    return characterOf(symbol);
}

// Whether the group types every letter from a to z without modifiers.
bool typesLatin(XkbDescPtr keymap, int group) {
    bool found[26] = {};
    int count = 0;
    for (unsigned code = keymap->min_key_code; code <= keymap->max_key_code; ++code) {
        const auto c = characterAt(keymap, code, group, 0);
        if (c && *c >= U'a' && *c <= U'z' && !found[*c - U'a']) {
            found[*c - U'a'] = true;
            ++count;
        }
    }
    return count == 26;
}

}  // namespace

std::optional<InputSource> copyCurrentKeyboardLayoutInputSource() {
    x11::Link* link = x11::clientLink();
    if (link == nullptr) {
        return std::nullopt;
    }
    const x11::Hold hold = x11::lock(*link);
    XkbStateRec state{};
    if (!hold || XkbGetState(link->display, XkbUseCoreKbd, &state) != Success) {
        return std::nullopt;
    }
    return InputSource{std::make_shared<InputSourceObject>(InputSourceObject{state.group})};
}

std::optional<InputSource> copyCurrentASCIICapableKeyboardLayoutInputSource() {
    x11::Link* link = x11::clientLink();
    if (link == nullptr) {
        return std::nullopt;
    }
    const x11::Hold hold = x11::lock(*link);
    if (!hold) {
        return std::nullopt;
    }
    const KeyLayoutDataObject keymap(fetchKeymap(link->display), 0);
    if (keymap.keymap == nullptr) {
        return std::nullopt;
    }
    int groups = 1;
    for (unsigned code = keymap.keymap->min_key_code; code <= keymap.keymap->max_key_code; ++code) {
        groups = std::max(groups, static_cast<int>(XkbKeyNumGroups(keymap.keymap, code)));
    }
    for (int group = 0; group < groups; ++group) {
        if (typesLatin(keymap.keymap, group)) {
            return InputSource{std::make_shared<InputSourceObject>(InputSourceObject{group})};
        }
    }
    return std::nullopt;
}

std::optional<KeyLayoutData> unicodeKeyLayoutData(const InputSource& source) {
    x11::Link* link = x11::clientLink();
    if (link == nullptr || !source.object) {
        return std::nullopt;
    }
    const x11::Hold hold = x11::lock(*link);
    XkbDescPtr keymap = hold ? fetchKeymap(link->display) : nullptr;
    if (keymap == nullptr) {
        return std::nullopt;
    }
    return KeyLayoutData{std::make_shared<KeyLayoutDataObject>(keymap, source.object->group)};
}

// The layout "bytes" are the map object itself, which the handle keeps alive.
const void* bytePointer(const KeyLayoutData& data) {
    return data.object.get();
}

std::uint32_t keyboardType() {
    return 0;
}

KeyTranslation translateKey(const void* layout, std::uint16_t keyCode, std::uint16_t /*keyAction*/,
                            std::uint32_t modifierKeyState, std::uint32_t /*keyboardType*/,
                            std::uint32_t /*options*/, std::uint32_t& deadKeyState,
                            std::size_t maxLength) {
    deadKeyState = 0;
    const auto* map = static_cast<const KeyLayoutDataObject*>(layout);
    if (map == nullptr) {
        return KeyTranslation{-50, {}};  // paramErr
    }
    const auto c = characterAt(map->keymap, x11::xKeycodeAt(keyCode), map->group,
                               xModifiers(modifierKeyState));
    KeyTranslation translation;
    if (!c) {
        return translation;  // a key that types nothing
    }
    if (*c >= 0x10000) {
        translation.units = {static_cast<char16_t>(0xD800 + ((*c - 0x10000) >> 10)),
                             static_cast<char16_t>(0xDC00 + ((*c - 0x10000) & 0x3FF))};
    } else {
        translation.units = {static_cast<char16_t>(*c)};
    }
    if (translation.units.size() > maxLength) {
        translation.units.resize(maxLength);
    }
    return translation;
}

}  // namespace platform
