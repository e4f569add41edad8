// The composer of a focus inside a page: the page is searched first, and a walk cut short by its
// budget names no field outside it (a browser's address bar that the walk met before the page);
// insert finds by its fingerprint every composer capture names.
#include <gtest/gtest.h>

#include "ax/fingerprint.h"
#include "ax/focus.h"
#include "composer/composer.h"
#include "platform/core_foundation.h"
#include "support/desktop_json.h"
#include "unit/sim/sim_support.h"

namespace {

using desktopjson::element;
using desktopjson::json;

constexpr int pid = 82;

json editable(const std::string& id, const std::string& role) {
    return element(
        id,
        desktopjson::merged({{"AXRole", role}, {"AXValue", ""}}, desktopjson::frame(0, 0, 300, 20)),
        {{"settable", {"AXValue"}}});
}

// A browser window: its toolbar (the address bar, then `fillers` buttons) comes before the page
// in breadth-first order; the page holds a list with the focused row and, when asked, a composer.
json browser(int toolbarFillers, int pageFillers, bool pageComposer) {
    json toolbar = json::array({editable("address", "AXTextField")});
    for (int i = 0; i < toolbarFillers; ++i) {
        toolbar.push_back(element("b" + std::to_string(i), {{"AXRole", "AXButton"}}));
    }
    json page =
        json::array({element("list", {{"AXRole", "AXList"}},
                             {{"children", {element("row", {{"AXRole", "AXStaticText"}})}}})});
    for (int i = 0; i < pageFillers; ++i) {
        page.push_back(element("p" + std::to_string(i), {{"AXRole", "AXGroup"}}));
    }
    if (pageComposer) {
        page.push_back(editable("composer", "AXTextArea"));
    }
    return element(
        "window", {{"AXRole", "AXWindow"}},
        {{"children",
          {element("toolbar", {{"AXRole", "AXToolbar"}}, {{"children", toolbar}}),
           element("scroll", {{"AXRole", "AXScrollArea"}},
                   {{"children",
                     {element("page", {{"AXRole", "AXWebArea"}}, {{"children", page}})}}})}}});
}

class ComposerInAPage : public simtest::SimTest {
  protected:
    static std::optional<std::string> composerOf(const json& window) {
        platform::sim::reset();
        const auto error =
            platform::sim::install(desktopjson::frontWindow(pid, window, "row").dump());
        EXPECT_FALSE(error) << *error;
        const auto focus = ax::focusOf(pid);
        EXPECT_TRUE(focus);
        const auto found = composer::Composer::near(*focus, pid);
        if (!found) {
            return std::nullopt;
        }
        // Insert looks the named composer up again by its fingerprint, and must find it.
        const auto again = composer::Composer::find(ax::fingerprint(found->element), pid);
        EXPECT_TRUE(again && platform::same(again->element, found->element));
        return platform::sim::idOf(found->element);
    }
};

TEST_F(ComposerInAPage, ThePageIsSearchedFirstAndItsComposerNamed) {
    // Complete walks: the page's composer shares the page with the row, the address bar only
    // the window.
    EXPECT_EQ(composerOf(browser(5, 0, true)), "composer");
    // The toolbar alone exhausts the node budget: the page is still reached, first.
    EXPECT_EQ(composerOf(browser(3000, 0, true)), "composer");
}

TEST_F(ComposerInAPage, AWalkCutShortNamesNothingOutsideThePage) {
    // Past the budget: in the toolbar, in the page.
    EXPECT_EQ(composerOf(browser(3000, 0, false)), std::nullopt);
    EXPECT_EQ(composerOf(browser(0, 3000, true)), std::nullopt);
    // A complete walk of a page without a composer still finds the window's one field.
    EXPECT_EQ(composerOf(browser(5, 0, false)), "address");
}

}  // namespace
