// The key lookup in-process against XKB on a headless desktop: every key of the US layout at its
// Mac position (the fixed table checked against XKB's own map), and the letters of a chord
// found on Dvorak and, past a Cyrillic group, on the group that types Latin letters. Each test
// is its own process under CTest: the backend keeps the first display it connects to.
#include "clipboard/keys.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "desktop.h"
#include "in_process.h"
#include "platform/input_sources.h"

namespace {

using LinuxKeys = linuxdesktop::InProcessTest;

// What each Mac key code of the ANSI keyboard types on the US layout, unshifted.
const std::pair<std::uint16_t, char> usKeys[] = {
    {0, 'a'},   {1, 's'},  {2, 'd'},  {3, 'f'},  {4, 'h'},  {5, 'g'},   {6, 'z'},  {7, 'x'},
    {8, 'c'},   {9, 'v'},  {11, 'b'}, {12, 'q'}, {13, 'w'}, {14, 'e'},  {15, 'r'}, {16, 'y'},
    {17, 't'},  {18, '1'}, {19, '2'}, {20, '3'}, {21, '4'}, {22, '6'},  {23, '5'}, {24, '='},
    {25, '9'},  {26, '7'}, {27, '-'}, {28, '8'}, {29, '0'}, {30, ']'},  {31, 'o'}, {32, 'u'},
    {33, '['},  {34, 'i'}, {35, 'p'}, {37, 'l'}, {38, 'j'}, {39, '\''}, {40, 'k'}, {41, ';'},
    {42, '\\'}, {43, ','}, {44, '/'}, {45, 'n'}, {46, 'm'}, {47, '.'},  {49, ' '}, {50, '`'},
    {65, '.'},  {67, '*'}, {69, '+'}, {75, '/'}, {78, '-'}, {81, '='},  {82, '0'}, {83, '1'},
    {84, '2'},  {85, '3'}, {86, '4'}, {87, '5'}, {88, '6'}, {89, '7'},  {91, '8'}, {92, '9'},
};

TEST_F(LinuxKeys, EveryUsKeyTypesItsCharacterAtItsMacPosition) {
    const linuxdesktop::Desktop desktop("entry");
    enter(desktop);
    const auto source = platform::copyCurrentKeyboardLayoutInputSource();
    ASSERT_TRUE(source);
    const auto data = platform::unicodeKeyLayoutData(*source);
    ASSERT_TRUE(data);
    const void* layout = platform::bytePointer(*data);
    int checked = 0;
    for (const auto& [code, character] : usKeys) {
        SCOPED_TRACE(code);
        std::uint32_t dead = 0;
        // The keypad types digits only with Num Lock; its operators always.
        const bool numLockDigit = code >= 82 && code != 81 && character >= '0' && character <= '9';
        const bool keypadPoint = code == 65;
        const platform::KeyTranslation plain =
            platform::translateKey(layout, code, platform::keyActionDisplay, 0, 0, 0, dead, 4);
        if (!numLockDigit && !keypadPoint) {
            EXPECT_EQ(plain.units, std::vector<char16_t>{static_cast<char16_t>(character)});
            ++checked;
        }
        // With Command (Control here) held a letter key still gives its letter.
        if (character >= 'a' && character <= 'z') {
            const platform::KeyTranslation chord =
                platform::translateKey(layout, code, platform::keyActionDisplay,
                                       platform::commandKeyModifierState, 0, 0, dead, 4);
            EXPECT_EQ(chord.units, std::vector<char16_t>{static_cast<char16_t>(character)});
        }
    }
    EXPECT_GT(checked, 50);
    // Codes with no key on a PC keyboard type nothing.
    std::uint32_t dead = 0;
    EXPECT_TRUE(platform::translateKey(layout, 63, platform::keyActionDisplay, 0, 0, 0, dead, 4)
                    .units.empty());
    EXPECT_EQ(clipboard::keyCode("v", 99), 9);
    EXPECT_EQ(clipboard::keyCode("c", 99), 8);
}

TEST_F(LinuxKeys, DvorakGivesTheKeyThatTypesTheLetter) {
    const linuxdesktop::Desktop desktop("entry", {false, {"-layout", "us", "-variant", "dvorak"}});
    enter(desktop);
    // Dvorak's v sits where US has '.', its c where US has 'i'.
    EXPECT_EQ(clipboard::keyCode("v", 99), 47);
    EXPECT_EQ(clipboard::keyCode("c", 99), 34);
}

TEST_F(LinuxKeys, BeyondACyrillicGroupTheLatinOneIsAsked) {
    // The current group (Russian) types no Latin letter: the shortcut's key is the US one.
    const linuxdesktop::Desktop desktop("entry", {false, {"-layout", "ru,us"}});
    enter(desktop);
    EXPECT_EQ(clipboard::keyCode("v", 99), 9);
    EXPECT_EQ(clipboard::keyCode("c", 99), 8);
    const auto latin = platform::copyCurrentASCIICapableKeyboardLayoutInputSource();
    ASSERT_TRUE(latin);
    const auto data = platform::unicodeKeyLayoutData(*latin);
    ASSERT_TRUE(data);
    std::uint32_t dead = 0;
    EXPECT_EQ(platform::translateKey(platform::bytePointer(*data), 9, platform::keyActionDisplay, 0,
                                     0, 0, dead, 4)
                  .units,
              std::vector<char16_t>{u'v'});
}

}  // namespace
