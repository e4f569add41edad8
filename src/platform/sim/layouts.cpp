// The built-in layouts, as the unshifted output of the macOS virtual key codes on an ANSI
// keyboard (plus the ISO section key), and the layout byte block's encoding.
#include "platform/sim/layouts.h"

#include <cstring>
#include <initializer_list>
#include <optional>
#include <utility>

namespace platform::sim {

namespace {

constexpr char magic[8] = {'L', 'K', 'S', 'P', 'K', 'L', 'v', '2'};
constexpr std::size_t entrySize = 10;  // a count and four UTF-16 units

using Keys = std::initializer_list<std::pair<std::uint16_t, std::u16string_view>>;

// Keys that type the same on every built-in layout: white space, editing and keypad keys.
constexpr Keys commonKeys = {
    {36, u"\r"},      {48, u"\t"},      {49, u" "},       {51, u"\u0008"},  {53, u"\u001B"},
    {65, u"."},       {67, u"*"},       {69, u"+"},       {75, u"/"},       {76, u"\u0003"},
    {78, u"-"},       {81, u"="},       {82, u"0"},       {83, u"1"},       {84, u"2"},
    {85, u"3"},       {86, u"4"},       {87, u"5"},       {88, u"6"},       {89, u"7"},
    {91, u"8"},       {92, u"9"},       {114, u"\u0005"}, {115, u"\u0001"}, {116, u"\u000B"},
    {117, u"\u007F"}, {119, u"\u0004"}, {121, u"\u000C"}, {123, u"\u001C"}, {124, u"\u001D"},
    {125, u"\u001F"}, {126, u"\u001E"},
};

constexpr Keys usKeys = {
    {0, u"a"},  {1, u"s"},   {2, u"d"},  {3, u"f"},  {4, u"h"},  {5, u"g"},  {6, u"z"},  {7, u"x"},
    {8, u"c"},  {9, u"v"},   {10, u"§"}, {11, u"b"}, {12, u"q"}, {13, u"w"}, {14, u"e"}, {15, u"r"},
    {16, u"y"}, {17, u"t"},  {18, u"1"}, {19, u"2"}, {20, u"3"}, {21, u"4"}, {22, u"6"}, {23, u"5"},
    {24, u"="}, {25, u"9"},  {26, u"7"}, {27, u"-"}, {28, u"8"}, {29, u"0"}, {30, u"]"}, {31, u"o"},
    {32, u"u"}, {33, u"["},  {34, u"i"}, {35, u"p"}, {37, u"l"}, {38, u"j"}, {39, u"'"}, {40, u"k"},
    {41, u";"}, {42, u"\\"}, {43, u","}, {44, u"/"}, {45, u"n"}, {46, u"m"}, {47, u"."}, {50, u"`"},
};

// Differences from US, by key position.
constexpr Keys dvorakKeys = {
    {12, u"'"}, {13, u","}, {14, u"."}, {15, u"p"}, {17, u"y"}, {16, u"f"}, {32, u"g"},
    {34, u"c"}, {31, u"r"}, {35, u"l"}, {33, u"/"}, {30, u"="}, {0, u"a"},  {1, u"o"},
    {2, u"e"},  {3, u"u"},  {5, u"i"},  {4, u"d"},  {38, u"h"}, {40, u"t"}, {37, u"n"},
    {41, u"s"}, {39, u"-"}, {6, u";"},  {7, u"q"},  {8, u"j"},  {9, u"k"},  {11, u"x"},
    {45, u"b"}, {46, u"m"}, {43, u"w"}, {47, u"v"}, {44, u"z"}, {27, u"["}, {24, u"]"},
};

constexpr Keys azertyKeys = {
    {0, u"q"},  {12, u"a"}, {13, u"z"}, {6, u"w"},   {41, u"m"}, {46, u","}, {10, u"@"},
    {50, u"<"}, {18, u"&"}, {19, u"é"}, {20, u"\""}, {21, u"'"}, {23, u"("}, {22, u"§"},
    {26, u"è"}, {28, u"!"}, {25, u"ç"}, {29, u"à"},  {27, u")"}, {24, u"-"}, {33, u"^"},
    {30, u"$"}, {39, u"ù"}, {42, u"`"}, {43, u";"},  {47, u":"}, {44, u"="},
};

constexpr Keys qwertzKeys = {
    {16, u"z"}, {6, u"y"},  {27, u"ß"}, {24, u"´"}, {33, u"ü"}, {30, u"+"}, {41, u"ö"},
    {39, u"ä"}, {42, u"#"}, {43, u","}, {47, u"."}, {44, u"-"}, {50, u"<"}, {10, u"^"},
};

void put(std::array<std::u16string, 128>& table, Keys keys) {
    for (const auto& [code, output] : keys) {
        table[code] = std::u16string(output);
    }
}

// The block: the magic, then one entry per key code without modifiers, then one with Command.
void encode(KeyLayout& layout) {
    layout.bytes.assign(sizeof magic + 2 * 128 * entrySize, 0);
    std::memcpy(layout.bytes.data(), magic, sizeof magic);
    std::size_t at = sizeof magic;
    for (const auto* table : {&layout.keys, &layout.commandKeys}) {
        for (const std::u16string& output : *table) {
            std::uint16_t entry[5] = {};
            entry[0] = static_cast<std::uint16_t>(output.size() < 4 ? output.size() : 4);
            for (std::size_t i = 0; i < entry[0]; ++i) {
                entry[i + 1] = static_cast<std::uint16_t>(output[i]);
            }
            std::memcpy(layout.bytes.data() + at, entry, entrySize);
            at += entrySize;
        }
    }
}

// `command`: the letters that Command chords type, where they differ from the layout's own.
std::shared_ptr<const KeyLayout> makeBuiltin(const char* name, Keys overrides,
                                             std::optional<Keys> command = std::nullopt) {
    KeyLayout layout;
    layout.name = name;
    put(layout.keys, commonKeys);
    put(layout.keys, usKeys);
    put(layout.keys, overrides);
    layout.commandKeys = layout.keys;
    if (command) {
        put(layout.commandKeys, *command);
    }
    encode(layout);
    return std::make_shared<const KeyLayout>(std::move(layout));
}

}  // namespace

std::shared_ptr<const KeyLayout> builtinLayout(std::string_view name) {
    static const auto us = makeBuiltin("us", {});
    static const auto dvorak = makeBuiltin("dvorak", dvorakKeys);
    static const auto azerty = makeBuiltin("azerty", azertyKeys);
    static const auto qwertz = makeBuiltin("qwertz", qwertzKeys);
    // Dvorak to type, the US keys for Command shortcuts ("Dvorak - QWERTY ⌘").
    static const auto dvorakQwerty = makeBuiltin("dvorak-qwerty", dvorakKeys, usKeys);
    for (const auto* layout : {&us, &dvorak, &azerty, &qwertz, &dvorakQwerty}) {
        if ((*layout)->name == name) {
            return *layout;
        }
    }
    return nullptr;
}

std::shared_ptr<const KeyLayout> customLayout(KeyLayout layout) {
    layout.name.clear();
    for (std::size_t code = 0; code < layout.keys.size(); ++code) {
        if (!layout.commandGiven[code]) {
            layout.commandKeys[code] = layout.keys[code];
        }
    }
    encode(layout);
    return std::make_shared<const KeyLayout>(std::move(layout));
}

const KeyLayout& usLayout() {
    static const auto us = builtinLayout("us");
    return *us;
}

std::u16string_view keyOutput(const KeyLayout& layout, std::uint16_t keyCode, bool command) {
    if (keyCode >= layout.keys.size()) {
        return {};
    }
    return command ? layout.commandKeys[keyCode] : layout.keys[keyCode];
}

KeyTranslation translateLayoutBytes(const void* bytes, std::uint16_t keyCode,
                                    std::uint32_t modifierKeyState, std::size_t maxLength) {
    constexpr std::int32_t paramErr = -50;
    if (bytes == nullptr || std::memcmp(bytes, magic, sizeof magic) != 0) {
        return {paramErr, {}};
    }
    KeyTranslation translation;
    if (keyCode > 127) {
        return translation;
    }
    const bool command = (modifierKeyState & commandKeyModifierState) != 0;
    const std::size_t index = (command ? 128 : 0) + keyCode;
    std::uint16_t entry[5] = {};
    std::memcpy(entry, static_cast<const std::uint8_t*>(bytes) + sizeof magic + index * entrySize,
                entrySize);
    const std::size_t count = entry[0] < maxLength ? entry[0] : maxLength;
    for (std::size_t i = 0; i < count && i < 4; ++i) {
        translation.units.push_back(static_cast<char16_t>(entry[i + 1]));
    }
    return translation;
}

}  // namespace platform::sim
