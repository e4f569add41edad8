// The built-in demo desktop, read the way the helper reads a desktop: the chat in front with its
// message list, composer and signed-in user, the editor behind it, the user's pasteboard.
#include <stdlib.h>

#include "platform/core_foundation.h"
#include "platform/events.h"
#include "platform/pasteboard.h"
#include "platform/workspace.h"
#include "sim_support.h"

namespace simtest {
namespace {

using platform::AXError;

class SimDemo : public SimTest {
  protected:
    void SetUp() override {
        ::unsetenv("LARKSPIN_DESKTOP");
        platform::sim::reset();
    }
};

platform::AttributeRead read(const platform::Element& e, const char* name) {
    return platform::copyAttributeValue(e, name);
}

platform::Element elementIn(const platform::AttributeRead& r) {
    return std::get<platform::Element>(r.value.value().data);
}

std::vector<platform::Element> children(const platform::Element& e) {
    std::vector<platform::Element> list;
    const auto all = read(e, "AXChildren");
    for (const auto& v : std::get<platform::ValueList>(all.value->data)) {
        list.push_back(std::get<platform::Element>(v.data));
    }
    return list;
}

bool settable(const platform::Element& e, const char* name) {
    const auto r = platform::isAttributeSettable(e, name);
    return r.error == AXError::success && r.settable;
}

TEST_F(SimDemo, ChatIsInFrontWithAReadOnlyMessageFocused) {
    const auto front = platform::frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(platform::processIdentifier(*front), 501);
    EXPECT_EQ(platform::bundleIdentifier(*front), "com.example.chat");
    EXPECT_EQ(platform::localizedName(*front), "Chat");

    const auto focus = elementIn(read(platform::createApplication(501), "AXFocusedUIElement"));
    EXPECT_EQ(text(read(focus, "AXRole")), "AXStaticText");
    EXPECT_TRUE(text(read(focus, "AXValue")).has_value());
    EXPECT_EQ(read(focus, "AXPosition").error, AXError::success);
    EXPECT_EQ(read(focus, "AXSize").error, AXError::success);
    EXPECT_FALSE(settable(focus, "AXValue"));
    EXPECT_FALSE(settable(focus, "AXSelectedTextRange"));
    EXPECT_NE(read(focus, "AXEditableAncestor").error, AXError::success);
    EXPECT_NE(read(focus, "AXSelectedText").error, AXError::success);  // left to the copy probe

    // Its row is the last of the message list.
    const auto row = elementIn(read(focus, "AXParent"));
    const auto list = elementIn(read(row, "AXParent"));
    EXPECT_EQ(text(read(list, "AXRole")), "AXList");
    EXPECT_EQ(text(read(list, "AXDescription")), "Messages in #general");
    const auto rows = children(list);
    ASSERT_GE(rows.size(), 5u);
    EXPECT_TRUE(platform::same(rows.back(), row));
    for (const auto& r : rows) {
        EXPECT_EQ(text(read(r, "AXRole")), "AXGroup");
        const auto parts = children(r);
        ASSERT_EQ(parts.size(), 2u);
        EXPECT_EQ(text(read(parts[0], "AXRole")), "AXStaticText");
        const auto classes = read(r, "AXDOMClassList");
        const auto& names = std::get<platform::ValueList>(classes.value->data);
        EXPECT_EQ(std::get<std::string>(names.at(0).data), "message");
    }
}

TEST_F(SimDemo, CommandCCopiesTheChatsSelection) {
    const auto board = platform::generalPasteboard();
    const std::int64_t before = platform::changeCount(board);
    const auto items = platform::pasteboardItems(board);
    ASSERT_EQ(items->size(), 1u);
    EXPECT_EQ(platform::types(items->front()).size(), 2u);
    EXPECT_TRUE(platform::stringForType(board, platform::plainTextType).has_value());

    for (const bool down : {true, false}) {
        const auto e = platform::createKeyboardEvent(std::nullopt, 8, down);
        platform::setFlags(*e, platform::eventFlagMaskCommand);
        platform::postEvent(platform::hidEventTap, *e);
    }
    platform::sim::settle(1s);
    EXPECT_EQ(platform::changeCount(board), before + 1);
    EXPECT_EQ(platform::stringForType(board, platform::plainTextType),
              "the release build is green");
}

TEST_F(SimDemo, ComposerAndUserSitInTheChatWindow) {
    const auto focus = elementIn(read(platform::createApplication(501), "AXFocusedUIElement"));
    const auto window = elementIn(read(focus, "AXWindow"));
    std::optional<platform::Element> composer;
    std::optional<platform::Element> user;
    std::vector<platform::Element> queue{window};
    for (std::size_t i = 0; i < queue.size(); ++i) {
        const auto role = text(read(queue[i], "AXRole"));
        if (role == "AXTextArea") {
            composer = queue[i];
        }
        if (role == "AXButton") {
            user = queue[i];
        }
        for (const auto& c : children(queue[i])) {
            queue.push_back(c);
        }
    }
    ASSERT_TRUE(composer.has_value());
    EXPECT_TRUE(settable(*composer, "AXValue"));
    EXPECT_TRUE(settable(*composer, "AXSelectedTextRange"));
    EXPECT_EQ(text(read(*composer, "AXPlaceholderValue")), "Message #general");
    const auto scroll = elementIn(read(*composer, "AXParent"));
    EXPECT_EQ(text(read(scroll, "AXRole")), "AXScrollArea");
    EXPECT_EQ(read(scroll, "AXPosition").error, AXError::success);
    EXPECT_EQ(read(scroll, "AXSize").error, AXError::success);
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(text(read(*user, "AXDescription")), "Ada Lovelace");
}

TEST_F(SimDemo, EditorBehindHasASelection) {
    const auto editor = platform::runningApplicationWithProcessIdentifier(502);
    ASSERT_TRUE(editor.has_value());
    EXPECT_EQ(platform::bundleIdentifier(*editor), "com.example.editor");
    const auto focus = elementIn(read(platform::createApplication(502), "AXFocusedUIElement"));
    EXPECT_EQ(text(read(focus, "AXRole")), "AXTextArea");
    const auto selected = text(read(focus, "AXSelectedText"));
    ASSERT_TRUE(selected.has_value());
    EXPECT_FALSE(selected->empty());
}

}  // namespace
}  // namespace simtest
