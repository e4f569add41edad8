// capture against a Qt 5 window: Qt has no Collection interface and answers an unknown object for
// it, counts text offsets in UTF-16 units, and leaves FOCUSED on a tab the focus has left.
#include <gtest/gtest.h>

#include "run.h"

namespace {

using linuxdesktop::App;
using linuxdesktop::Desktop;
using nlohmann::json;

App qtApp(const std::string& focus) {
    App app;
    app.argv = {LARKSPIN_QT_TEST_APP, focus};
    app.env = {{"QT_ACCESSIBILITY", "1"},
               {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"},
               {"QT_QPA_PLATFORM", "xcb"}};
    app.registryFirst = true;
    return app;
}

json request(int maxChars = 1000) {
    return {{"probe", false}, {"maxChars", maxChars}};
}

TEST(LinuxQt5, FocusedFieldIsFoundWithoutCollection) {
    const Desktop desktop(qtApp("entry"));
    const json reply = linuxdesktop::capture(desktop, request());
    ASSERT_TRUE(reply["focus"].is_object()) << reply;
    EXPECT_EQ(reply["focus"]["role"], "AXTextField");
    EXPECT_EQ(reply["focus"]["editable"], true);
    EXPECT_EQ(reply["field"], "single line \u00e9\U0001F600 text");
    EXPECT_EQ(reply["input"]["kind"], "field");
    EXPECT_EQ(reply["input"]["replaceable"], true);
    // The caret at the end, after the emoji: Qt's offset 20 is 20 UTF-16 units, not 20 code
    // points (which would be past the end, where Qt answers no text and no place).
    const json& anchor = reply["focus"]["anchor"];
    const json caret = linuxdesktop::readyRect(desktop);
    ASSERT_TRUE(anchor.is_object()) << reply;
    EXPECT_EQ(anchor["w"], 0.0);
    EXPECT_NEAR(anchor["x"].get<double>(), caret["x"].get<double>() + caret["w"].get<double>() / 2,
                caret["w"].get<double>());
    EXPECT_NEAR(anchor["y"].get<double>(), caret["y"].get<double>(), caret["h"].get<double>());
}

TEST(LinuxQt5, SelectionOutsideTheBmpIsCountedInUtf16Units) {
    const Desktop desktop(qtApp("selection"));
    const json whole = linuxdesktop::capture(desktop, request());
    ASSERT_TRUE(whole["focus"].is_object()) << whole;
    EXPECT_EQ(whole["input"]["kind"], "selection") << whole;
    EXPECT_EQ(whole["input"]["text"], "\u00e9\U0001F600 t");
    EXPECT_GT(whole["focus"]["anchor"]["w"].get<double>(), 0.0) << whole;
    const json three = linuxdesktop::capture(desktop, request(3));
    EXPECT_EQ(three["input"]["text"], "\u00e9\U0001F600");
    EXPECT_EQ(three["input"]["truncated"], true);
}

TEST(LinuxQt5, TheFieldTypedInWinsOverAStaleFocusedTab) {
    // The tab that holds the text area keeps FOCUSED, and comes first in the tree.
    const Desktop desktop(qtApp("view"));
    const json reply = linuxdesktop::capture(desktop, request());
    EXPECT_EQ(reply["focus"]["role"], "AXTextArea") << reply;
    EXPECT_EQ(reply["field"], "first line\nsecond line with caf\u00e9");
}

TEST(LinuxQt5, AButtonLabelIsNoField) {
    const Desktop desktop(qtApp("button"));
    const json reply = linuxdesktop::capture(desktop, request());
    EXPECT_EQ(reply["focus"]["role"], "AXButton") << reply;
    EXPECT_TRUE(reply["field"].is_null()) << reply;
    EXPECT_EQ(reply["input"]["kind"], "none");
    ASSERT_TRUE(reply["composer"].is_object()) << reply;
    EXPECT_EQ(reply["composer"]["label"], "Message");
}

}  // namespace
