// capture against the chat page in Chromium (--force-renderer-accessibility). One Chromium serves
// the group; a second page opens in a second window of it. The composer of a message sits in the
// page, after the browser's own address bar in the window's order: the page is searched first,
// and a search cut short by its budget never names the address bar.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "page_driver.h"
#include "run.h"

namespace {

using linuxdesktop::App;
using linuxdesktop::Desktop;
using nlohmann::json;
using namespace pagedriver;

std::string profile() {
    return std::filesystem::temp_directory_path() /
           ("larkspin-chromium-" + std::to_string(getpid()));
}

std::vector<std::string> chromium(const std::string& url) {
    return {LARKSPIN_CHROMIUM,
            "--no-sandbox",
            "--force-renderer-accessibility",
            "--user-data-dir=" + profile(),
            "--no-first-run",
            "--no-default-browser-check",
            "--password-store=basic",
            url};
}

// A conversation of 400 messages, the last one focused, the composer after them all.
std::string largePage() {
    const std::string path = profile() + "-large.html";
    std::ofstream page(path);
    page << "<!doctype html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>Large chat"
            "</title></head><body><div><ul aria-label=\"Messages\">";
    for (int i = 0; i < 400; ++i) {
        page << "<li>Ada: message " << i << "</li>";
    }
    page << "<li tabindex=\"0\" id=\"last\" aria-label=\"Last message\">the last one</li></ul><div>"
            "<div contenteditable=\"true\" aria-label=\"Message\">draft</div>"
            "<button>Send</button></div></div>"
            "<script>document.getElementById(\"last\").focus();</script></body></html>";
    return "file://" + path;
}

class LinuxChromium : public ::testing::Test {
  protected:
    static inline Desktop* desktop = nullptr;
    static inline bus::Ref root;

    static void SetUpTestSuite() {
        App app;
        app.argv = chromium(std::string("file://") + LARKSPIN_CHAT_PAGE);
        app.env = {{"GNOME_ACCESSIBILITY", "1"}};
        app.readyWord.clear();
        app.windowManager = true;
        desktop = new Desktop(app);
        const std::optional<bus::Ref> joined = join(*desktop);
        ASSERT_TRUE(joined) << "Chromium did not join the accessibility bus";
        root = *joined;
    }

    static void TearDownTestSuite() {
        delete desktop;
        std::filesystem::remove_all(profile());
        std::filesystem::remove(profile() + "-large.html");
    }

    static bus::Ref focus(std::uint32_t role, const std::string& name) {
        std::optional<bus::Ref> found;
        EXPECT_TRUE(until([&] { return (found = find(root, role, name)).has_value(); })) << name;
        EXPECT_TRUE(found && pagedriver::focus(*found)) << name;
        return found.value_or(bus::Ref{});
    }
};

TEST_F(LinuxChromium, TextsInCodePointsAndClippedWhole) {
    focus(ATSPI_ROLE_ENTRY, "Search");
    expectTheSearchFieldsText(*desktop);
}

TEST_F(LinuxChromium, TheComposerOfAMessageIsThePagesNotTheAddressBar) {
    focus(ATSPI_ROLE_LIST_ITEM, "Message from Grace");
    const json reply = linuxdesktop::captureNamingAComposer(*desktop, {{"probe", false}});
    EXPECT_EQ(reply["focus"]["editable"], false) << reply;
    ASSERT_TRUE(reply["composer"].is_object()) << reply;
    EXPECT_EQ(reply["composer"]["label"], "Message");
}

TEST_F(LinuxChromium, ASearchCutShortNamesNoFieldOutsideThePage) {
    // A second window with the large conversation; Chromium focuses its last message.
    desktop->launch(chromium(largePage()));
    ASSERT_TRUE(until([&] {
        const auto last = find(root, ATSPI_ROLE_LIST_ITEM, "Last message");
        return last && focused(*last);
    }));
    const json reply = linuxdesktop::capture(*desktop, {{"probe", false}});
    EXPECT_EQ(reply["focus"]["role"], "AXGroup") << reply;
    // The composer, when the walk reached it within its 150 ms, or none: never the browser's.
    if (reply["composer"].is_object()) {
        EXPECT_EQ(reply["composer"]["label"], "Message") << reply;
    }
}

}  // namespace
