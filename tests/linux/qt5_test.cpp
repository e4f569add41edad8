// capture against a Qt 5 window: Qt has no Collection interface and answers an unknown object for
// it, counts text offsets in UTF-16 units, and leaves FOCUSED on a tab the focus has left.
#include <gtest/gtest.h>

#include "node.h"
#include "platform/accessibility.h"
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

// The application's focused element, asked in this process through the backend. One desktop
// per process: ctest runs each test alone.
std::optional<platform::Element> focusedIn(const Desktop& desktop) {
    desktop.enter(false);
    platform::Element app = platform::createApplication(desktop.appPid());
    platform::setMessagingTimeout(app, 2.0F);
    const platform::AttributeRead read = platform::copyAttributeValue(app, "AXFocusedUIElement");
    const auto* focused = read.value ? std::get_if<platform::Element>(&read.value->data) : nullptr;
    if (focused == nullptr) {
        return std::nullopt;
    }
    platform::setMessagingTimeout(*focused, 2.0F);
    return *focused;
}

json request(int maxChars = 1000) {
    return {{"probe", false}, {"maxChars", maxChars}};
}

TEST(LinuxQt5, FocusedFieldIsFoundWithoutCollection) {
    const Desktop desktop(qtApp("entry"));
    const json reply = linuxdesktop::captureOnceFocused(desktop, request());
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
    const json whole = linuxdesktop::captureOnceFocused(desktop, request());
    ASSERT_TRUE(whole["focus"].is_object()) << whole;
    EXPECT_EQ(whole["input"]["kind"], "selection") << whole;
    EXPECT_EQ(whole["input"]["text"], "\u00e9\U0001F600 t");
    // The range the core is given is Qt's own offsets, UTF-16 units 12 to 17, and its bounds
    // are what Qt says of them, asked directly.
    const auto field = focusedIn(desktop);
    ASSERT_TRUE(field);
    ASSERT_EQ(platform::copyAttributeValue(*field, "AXValue").error, platform::AXError::success);
    const platform::AttributeRead range =
        platform::copyAttributeValue(*field, "AXSelectedTextRange");
    ASSERT_EQ(range.error, platform::AXError::success);
    const auto* wrapped = std::get_if<platform::Wrapped>(&range.value->data);
    ASSERT_NE(wrapped, nullptr);
    EXPECT_EQ(std::get<platform::Range>(wrapped->value), (platform::Range{12, 5}));
    const auto truth =
        platform::atspi::rangeExtents(platform::atspi::Target{field->object->ref, 2000}, 12, 17);
    ASSERT_TRUE(truth.ok());
    EXPECT_EQ(whole["focus"]["anchor"], json({{"x", truth.value->origin.x},
                                              {"y", truth.value->origin.y},
                                              {"w", truth.value->size.width},
                                              {"h", truth.value->size.height}}));
    const json three = linuxdesktop::capture(desktop, request(3));
    EXPECT_EQ(three["input"]["text"], "\u00e9\U0001F600");
    EXPECT_EQ(three["input"]["truncated"], true);
}

TEST(LinuxQt5, TheFieldTypedInWinsOverAStaleFocusedTab) {
    // The tab that holds the text area keeps FOCUSED, and comes first in the tree.
    const Desktop desktop(qtApp("view"));
    const json reply = linuxdesktop::captureOnceFocused(desktop, request());
    EXPECT_EQ(reply["focus"]["role"], "AXTextArea") << reply;
    EXPECT_EQ(reply["field"], "first line\nsecond line with caf\u00e9");
}

TEST(LinuxQt5, AButtonLabelIsNoField) {
    const Desktop desktop(qtApp("button"));
    const json reply = linuxdesktop::captureNamingAComposer(desktop, request());
    EXPECT_EQ(reply["focus"]["role"], "AXButton") << reply;
    EXPECT_TRUE(reply["field"].is_null()) << reply;
    EXPECT_EQ(reply["input"]["kind"], "none");
    ASSERT_TRUE(reply["composer"].is_object()) << reply;
    EXPECT_EQ(reply["composer"]["label"], "Message");
}

}  // namespace
