// The Linux backend's tables, without a desktop: which toolkit habits are undone for which
// application, and Gecko's padding taken out of its texts.
#include <gtest/gtest.h>

#include "text.h"
#include "toolkit.h"

namespace {

using platform::atspi::profileOf;
using platform::atspi::Toolkit;
using platform::atspi::withoutAstralPadding;

TEST(LinuxToolkitTable, EachToolkitsHabits) {
    const struct {
        const char* name;
        const char* version;
        const char* app;
        bool utf16, pads, visibleOnly, windowCoordinates, unplaced, tabs;
    } rows[] = {
        {"GTK", "3.24.38", "mousepad", false, false, false, false, false, false},
        {"gtk", "3.24.38", "soffice", true, false, false, false, false, false},
        {"GTK", "4.8.3", "gnome-text-editor", false, false, true, true, false, false},
        {"GTK", "4.10.0", "gnome-text-editor", false, false, false, false, false, false},
        {"GTK", "4.12", "x", false, false, false, false, false, false},
        {"Qt", "5.15.8", "FeatherPad", true, false, false, false, false, true},
        {"Gecko", "115.0", "Firefox", true, true, false, false, true, false},
        {"Chromium", "120", "Chromium", false, false, false, false, false, false},
        {"", "", "LibreOffice", true, false, false, false, false, false},
        {"", "", "", false, false, false, false, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.name) + " " + row.version + " " + row.app);
        const Toolkit toolkit = profileOf(row.name, row.version, row.app);
        EXPECT_EQ(toolkit.offsets == Toolkit::Offsets::utf16, row.utf16);
        EXPECT_EQ(toolkit.padsAstral, row.pads);
        EXPECT_EQ(toolkit.showingOnWindowsOnly, row.visibleOnly);
        EXPECT_EQ(toolkit.windowRelativeExtents, row.windowCoordinates);
        EXPECT_EQ(toolkit.unplacedAtMinusOne, row.unplaced);
        EXPECT_EQ(toolkit.currentTabFocused, row.tabs);
    }
}

TEST(LinuxToolkitTable, GeckosPaddingIsTakenOutAndNothingElse) {
    const std::string pad = "\xEF\xBB\xBF";
    const std::string wave = "\xF0\x9F\x91\x8B";
    const std::string tone = "\xF0\x9F\x8F\xBD";
    EXPECT_EQ(withoutAstralPadding("h\xC3\xA9llo " + wave + pad + tone + pad + " w"),
              "h\xC3\xA9llo " + wave + tone + " w");
    // A U+FEFF that follows no character outside the BMP is the page's own.
    EXPECT_EQ(withoutAstralPadding(pad + "a" + pad + "\xC3\xA9" + pad),
              pad + "a" + pad + "\xC3\xA9" + pad);
    // Only one after each such character; at the very end too.
    EXPECT_EQ(withoutAstralPadding(wave + pad + pad), wave + pad);
    EXPECT_EQ(withoutAstralPadding(wave + pad), wave);
    EXPECT_EQ(withoutAstralPadding(wave), wave);
    EXPECT_EQ(withoutAstralPadding(""), "");
}

}  // namespace
