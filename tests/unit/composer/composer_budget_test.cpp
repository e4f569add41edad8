// The budgets of the searches that walk a window breadth first: the composer search and the user
// search stop after 3000 nodes (the last within the budget is found, the first past it is not),
// and the composer search also after 150 ms.
#include <chrono>

#include <gtest/gtest.h>

#include "ax/focus.h"
#include "capture/conversation.h"
#include "composer/composer.h"
#include "frame/tunables.h"
#include "support/desktop_json.h"
#include "unit/sim/sim_support.h"

namespace {

using desktopjson::element;
using desktopjson::json;

constexpr int pid = 81;

// A window whose breadth-first order is: the window (0), the focused button (1), `fillers`
// static texts, then the element under test at position fillers + 2.
json windowWith(int fillers, const json& last, const json& fillerExtra = json::object()) {
    json children = json::array({element("focus", {{"AXRole", "AXButton"}})});
    for (int i = 0; i < fillers; ++i) {
        children.push_back(
            element("n" + std::to_string(i), {{"AXRole", "AXStaticText"}}, fillerExtra));
    }
    children.push_back(last);
    return element("window", {{"AXRole", "AXWindow"}}, {{"children", children}});
}

// The window as the only one of the frontmost application, its button focused.
std::optional<ax::Focus> focusIn(const json& window) {
    platform::sim::reset();
    const auto error =
        platform::sim::install(desktopjson::frontWindow(pid, window, "focus").dump());
    EXPECT_FALSE(error) << *error;
    return ax::focusOf(pid);
}

class ComposerBudgets : public simtest::SimTest {
  protected:
    // `walkMs`: how long the search took.
    static std::optional<composer::Composer> nearestTo(const json& window,
                                                       double* walkMs = nullptr) {
        const auto focus = focusIn(window);
        EXPECT_TRUE(focus);
        const auto start = std::chrono::steady_clock::now();
        auto found = composer::Composer::near(*focus, pid);
        if (walkMs != nullptr) {
            *walkMs = simtest::elapsedMs(start);
        }
        return found;
    }
};

TEST_F(ComposerBudgets, TheWalkStopsAfter3000Nodes) {
    const json composer = desktopjson::textArea("composer", "");
    // Position 2999, the last visited; unless the walk ran into its time budget first, as under
    // a sanitizer on a loaded machine it does, and then this says nothing of the node budget.
    double walkMs = 0;
    const bool found = nearestTo(windowWith(2997, composer), &walkMs).has_value();
    if (walkMs < static_cast<double>(frame::composerWalkMs)) {
        EXPECT_TRUE(found);
    }
    EXPECT_FALSE(nearestTo(windowWith(2998, composer)));  // position 3000: the first not
}

TEST_F(ComposerBudgets, TheWalkStopsAfter150Milliseconds) {
    // Every filler answers after 25 ms, and each is asked its role and its children.
    const json composer = desktopjson::textArea("composer", "");
    EXPECT_TRUE(nearestTo(windowWith(1, composer, {{"latencyMs", 25}})));
    EXPECT_FALSE(nearestTo(windowWith(12, composer, {{"latencyMs", 25}})));
}

class UserSearchBudget : public simtest::SimTest {};

TEST_F(UserSearchBudget, TheSearchStopsAfter3000Nodes) {
    capture::Reader reader;
    reader.list = {{"AXList", std::nullopt}};
    reader.rows = 1;
    reader.depth = 0;
    reader.me = capture::Reader::Me{"AXButton", "me"};
    const json me =
        element("me", {{"AXRole", "AXButton"}, {"AXDOMClassList", {"me"}}, {"AXTitle", "Ada"}});
    for (const auto& [fillers, found] : {std::pair{2997, true}, std::pair{2998, false}}) {
        json window = windowWith(fillers, me);
        window["children"].insert(window["children"].begin() + 1,
                                  element("list", {{"AXRole", "AXList"}}));
        // The list takes the first filler's place: the user stays at position fillers + 2.
        window["children"].erase(window["children"].begin() + 2);
        const auto focus = focusIn(window);
        ASSERT_TRUE(focus);
        const json result =
            capture::dumpConversation(capture::ConversationRequest{60000, {}}, reader, *focus);
        EXPECT_EQ(result["me"], found ? json("Ada") : json(nullptr)) << fillers;
    }
}

}  // namespace
