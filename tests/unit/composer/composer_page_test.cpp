// The composer of a focus inside a page: the walk goes outward from the focus, so the page comes
// before the browser's own fields and the field beside the focus before the page's others, and a
// walk cut short by its budget names only what the whole walk would; insert finds by its
// fingerprint every composer capture names.
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

json groups(const std::string& prefix, int count) {
    json made = json::array();
    for (int i = 0; i < count; ++i) {
        made.push_back(element(prefix + std::to_string(i), {{"AXRole", "AXGroup"}}));
    }
    return made;
}

// The list that holds the focused row.
json list() {
    return element("list", {{"AXRole", "AXList"}},
                   {{"children", {element("row", {{"AXRole", "AXStaticText"}})}}});
}

// A browser window: its toolbar (the address bar, then `toolbarFillers` buttons) comes before
// the page in breadth-first order; `page` is what the page holds, the focused row's list among it.
json browser(int toolbarFillers, const json& page) {
    json toolbar = json::array({editable("address", "AXTextField")});
    for (int i = 0; i < toolbarFillers; ++i) {
        toolbar.push_back(element("b" + std::to_string(i), {{"AXRole", "AXButton"}}));
    }
    return element(
        "window", {{"AXRole", "AXWindow"}},
        {{"children",
          {element("toolbar", {{"AXRole", "AXToolbar"}}, {{"children", toolbar}}),
           element("scroll", {{"AXRole", "AXScrollArea"}},
                   {{"children",
                     {element("page", {{"AXRole", "AXWebArea"}}, {{"children", page}})}}})}}});
}

json page(std::initializer_list<json> parts) {
    json children = json::array();
    for (const json& part : parts) {
        if (part.is_array()) {
            children.insert(children.end(), part.begin(), part.end());
        } else {
            children.push_back(part);
        }
    }
    return children;
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
    const json composer = editable("composer", "AXTextArea");
    // Complete walks: the page's composer shares the page with the row, the address bar only
    // the window.
    EXPECT_EQ(composerOf(browser(5, page({list(), composer}))), "composer");
    // The toolbar alone exhausts the node budget: the page is still reached, first.
    EXPECT_EQ(composerOf(browser(3000, page({list(), composer}))), "composer");
    // A complete walk of a page without a composer still finds the window's one field.
    EXPECT_EQ(composerOf(browser(5, page({list()}))), "address");
}

TEST_F(ComposerInAPage, TheFieldNearestTheFocusIsNamedNotTheFirstMet) {
    // The page's search box comes first breadth first, 3000 groups before the chat's composer:
    // the composer beside the row is still the one named.
    const json chat = element("chat", {{"AXRole", "AXGroup"}},
                              {{"children", {list(), editable("composer", "AXTextArea")}}});
    EXPECT_EQ(
        composerOf(browser(
            0, page({editable("search", "AXTextField"),
                     element("all", {{"AXRole", "AXGroup"}}, {{"children", groups("p", 3000)}}),
                     chat}))),
        "composer");
    // A field that holds the focus is nearer than the one beside it, and is not looked into.
    json editor = editable("editor", "AXTextArea");
    editor["children"] = {list(), editable("inner", "AXTextArea")};
    EXPECT_EQ(composerOf(browser(0, page({editor, editable("beside", "AXTextArea")}))), "editor");
}

TEST_F(ComposerInAPage, AWalkCutShortNamesOnlyWhatTheWholeWalkWould) {
    // Past the budget: in the toolbar, in the page.
    EXPECT_EQ(composerOf(browser(3000, page({list()}))), std::nullopt);
    EXPECT_EQ(composerOf(browser(
                  0, page({list(), groups("p", 3000), editable("composer", "AXTextArea")}))),
              std::nullopt);
    // Two fields tie, the second beyond the budget: the first alone is no answer.
    EXPECT_EQ(composerOf(browser(0, page({list(), editable("first", "AXTextField"),
                                          groups("p", 3000), editable("second", "AXTextField")}))),
              std::nullopt);
}

}  // namespace
