// capture against a local page in Firefox ESR. One Firefox serves the whole group (it takes
// seconds to start); each case moves the focus and the selection itself, over the bus, and
// waits until Firefox reports them. Gecko pads characters outside the BMP, answers no text for a
// range past the end, reports selectable text as if it could be set, gives buttons a text, puts
// an aria-label in the name and places nothing for a while after a page loads.
#include <atspi/atspi-constants.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "page_driver.h"
#include "run.h"

namespace {

using linuxdesktop::App;
using linuxdesktop::Desktop;
using nlohmann::json;
using namespace pagedriver;

App firefoxApp(const std::string& profile) {
    std::filesystem::create_directories(profile);
    std::ofstream prefs(profile + "/user.js");
    for (const char* pref :
         {"\"browser.shell.checkDefaultBrowser\", false",
          "\"browser.startup.homepage_override.mstone\", \"ignore\"",
          "\"startup.homepage_welcome_url\", \"\"", "\"browser.aboutwelcome.enabled\", false",
          "\"datareporting.policy.dataSubmissionEnabled\", false",
          "\"toolkit.telemetry.reportingpolicy.firstRun\", false",
          "\"browser.tabs.warnOnClose\", false", "\"app.update.enabled\", false",
          "\"browser.sessionstore.resume_from_crash\", false"}) {
        prefs << "user_pref(" << pref << ");\n";
    }
    App app;
    app.argv = {LARKSPIN_FIREFOX, "--no-remote", "--profile", profile,
                std::string("file://") + LARKSPIN_CHAT_PAGE};
    app.env = {{"GNOME_ACCESSIBILITY", "1"}, {"MOZ_ENABLE_WAYLAND", "0"}};
    app.readyWord.clear();
    app.windowManager = true;
    return app;
}

class LinuxFirefox : public ::testing::Test {
  protected:
    static inline Desktop* desktop = nullptr;
    static inline bus::Ref root;
    static inline json firstCapture;

    static std::string profile() {
        return std::filesystem::temp_directory_path() /
               ("larkspin-firefox-" + std::to_string(getpid()));
    }

    static void SetUpTestSuite() {
        desktop = new Desktop(firefoxApp(profile()));
        const std::optional<bus::Ref> joined = join(*desktop);
        ASSERT_TRUE(joined) << "Firefox did not join the accessibility bus";
        root = *joined;
        // The page focuses its field as it loads: the first capture once Firefox says so is
        // the one made while it still places nothing.
        std::optional<bus::Ref> field;
        ASSERT_TRUE(until([&] {
            field = find(root, ATSPI_ROLE_ENTRY, "Search");
            return field && focused(*field);
        }));
        firstCapture = linuxdesktop::capture(*desktop, {{"probe", false}});
    }

    static void TearDownTestSuite() {
        delete desktop;
        std::filesystem::remove_all(profile());
    }

    static bus::Ref element(std::uint32_t role, const std::string& name) {
        std::optional<bus::Ref> found;
        EXPECT_TRUE(until([&] { return (found = find(root, role, name)).has_value(); })) << name;
        return found.value_or(bus::Ref{});
    }

    // Gives the element the focus and waits until Firefox reports it there.
    static bus::Ref focus(std::uint32_t role, const std::string& name) {
        const bus::Ref found = element(role, name);
        EXPECT_TRUE(pagedriver::focus(found)) << name;
        return found;
    }
};

TEST_F(LinuxFirefox, AFrameNotYetPlacedIsNoFrame) {
    // Gecko answers -1,-1 for every position at first; that is no place to name a field by.
    ASSERT_TRUE(firstCapture["focus"].is_object()) << firstCapture;
    const std::string element = firstCapture["focus"]["element"];
    EXPECT_EQ(element.find("-1,-1"), std::string::npos) << element;
    // The helper waits a moment for the layout: when Gecko placed the field within it, the
    // field keeps the name it had once the page has settled (when not, it has no frame at all).
    focus(ATSPI_ROLE_ENTRY, "Search");
    const json later = linuxdesktop::capture(*desktop, {{"probe", false}});
    if (element.find('?') == std::string::npos) {
        EXPECT_EQ(later["focus"]["element"], element);
    }
}

TEST_F(LinuxFirefox, TextsAreThePagesOwnAndClippedWhole) {
    focus(ATSPI_ROLE_ENTRY, "Search");
    expectTheSearchFieldsText(*desktop);
}

TEST_F(LinuxFirefox, ASelectionAfterTheEmojiIsAnchoredWhereItIs) {
    const bus::Ref field = focus(ATSPI_ROLE_ENTRY, "Search");
    // "wörld", the last five characters: Gecko's offsets 11 to 16.
    const bus::Reply count = bus::property(field, bus::textInterface, "CharacterCount", callMs);
    const std::int32_t end = bus::readInt32(count).value_or(0);
    using bus::Argument;
    bus::callForTrue(at(field), bus::textInterface, "AddSelection",
                     {Argument::of(end - 5), Argument::of(end)});
    ASSERT_TRUE(until([&] {
        const auto range = bus::selection(at(field));
        return range.ok() && *range.value && (*range.value)->first == end - 5;
    }));
    const auto truth = bus::rangeExtents(at(field), end - 5, end);
    ASSERT_TRUE(truth.ok());
    const json reply = linuxdesktop::capture(*desktop, {{"probe", false}});
    EXPECT_EQ(reply["input"]["text"], "w\u00f6rld") << reply;
    const json& anchor = reply["focus"]["anchor"];
    ASSERT_TRUE(anchor.is_object()) << reply;
    EXPECT_EQ(anchor["x"], truth.value->origin.x) << reply;
    EXPECT_EQ(anchor["w"], truth.value->size.width) << reply;
    bus::callForTrue(at(field), bus::textInterface, "RemoveSelection",
                     {Argument::of(std::int32_t{0})});
}

TEST_F(LinuxFirefox, SelectableTextIsNotEditable) {
    focus(ATSPI_ROLE_LIST_ITEM, "Message from Grace");
    const json reply = linuxdesktop::captureNamingAComposer(*desktop, {{"probe", false}});
    EXPECT_EQ(reply["focus"]["editable"], false) << reply;
    EXPECT_NE(reply["input"].value("replaceable", false), true) << reply;
    // So the composer search runs, and finds the page's composer.
    ASSERT_TRUE(reply["composer"].is_object()) << reply;
    EXPECT_EQ(reply["composer"]["label"], "Message");
}

TEST_F(LinuxFirefox, AButtonsLabelIsNoField) {
    focus(ATSPI_ROLE_PUSH_BUTTON, "Send");
    const json reply = linuxdesktop::captureNamingAComposer(*desktop, {{"probe", false}});
    EXPECT_EQ(reply["focus"]["role"], "AXButton") << reply;
    EXPECT_TRUE(reply["field"].is_null()) << reply;
    EXPECT_EQ(reply["input"], json({{"kind", "none"}}));
    ASSERT_TRUE(reply["composer"].is_object()) << reply;
    EXPECT_EQ(reply["composer"]["label"], "Message");
}

TEST_F(LinuxFirefox, AListIsDescribedByItsAriaLabel) {
    focus(ATSPI_ROLE_PUSH_BUTTON, "Send");
    const json base = linuxdesktop::capture(*desktop, {{"probe", false}});
    const std::string bundleId = base["app"]["bundleId"].is_string() ? base["app"]["bundleId"] : "";
    ASSERT_FALSE(bundleId.empty()) << base;
    const json reply =
        linuxdesktop::capture(*desktop, {{"probe", false},
                                         {"conversation",
                                          {{"budgetMs", 2000},
                                           {"readers",
                                            {{bundleId,
                                              {{"list", json::array({{{"role", "AXList"}}})},
                                               {"rows", 2},
                                               {"depth", 1},
                                               {"skipClasses", json::array()},
                                               {"trustsAxSelection", true}}}}}}}});
    ASSERT_TRUE(reply["conversation"].is_object()) << reply;
    EXPECT_EQ(reply["conversation"]["list"]["description"], "Messages in general") << reply;
}

}  // namespace
