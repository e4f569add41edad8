// capture against a GTK 4 window: GTK 4.8 has no Collection interface, sets SHOWING on its
// windows only, and gives extents relative to the window.
#include <gtest/gtest.h>

#include "run.h"

namespace {

using linuxdesktop::App;
using linuxdesktop::Desktop;
using nlohmann::json;

App gtk4App(const std::string& focus) {
    App app;
    app.argv = {LARKSPIN_GTK4_TEST_APP, focus};
    app.env = {{"GDK_BACKEND", "x11"}, {"GTK_A11Y", "atspi"}};
    // A window manager places the window away from the screen's corner (and GTK then draws
    // its shadow around it), so that window coordinates are not screen coordinates.
    app.windowManager = true;
    return app;
}

const json request = {{"probe", false}, {"maxChars", 1000}};

TEST(LinuxGtk4, FocusedFieldIsFoundAndPlacedOnTheScreen) {
    const Desktop desktop(gtk4App("entry"));
    const json reply = linuxdesktop::captureOnceFocused(desktop, request);
    ASSERT_TRUE(reply["focus"].is_object()) << reply;
    EXPECT_EQ(reply["focus"]["role"], "AXTextField");
    EXPECT_EQ(reply["focus"]["editable"], true);
    EXPECT_EQ(reply["field"], "single line \u00e9\U0001F600 text");
    // The field's frame where GTK itself draws it on the screen, not inside the window.
    EXPECT_EQ(linuxdesktop::fingerprintFrame(reply["focus"]["element"]),
              linuxdesktop::readyRect(desktop))
        << reply;
}

TEST(LinuxGtk4, MultiLineField) {
    const Desktop desktop(gtk4App("view"));
    const json reply = linuxdesktop::captureOnceFocused(desktop, request);
    EXPECT_EQ(reply["focus"]["role"], "AXTextArea") << reply;
    EXPECT_EQ(reply["field"], "first line\nsecond line with caf\u00e9");
}

}  // namespace
