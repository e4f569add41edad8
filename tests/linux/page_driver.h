// Driving a page in a browser over the accessibility bus, object by object (the backend's
// single calls, without its conversions): what the browser itself says, for the helper's
// answers to be checked against. Every wait is for a state the browser reports, bounded only
// as a guard.
#pragma once

#include <atspi/atspi-constants.h>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "desktop.h"
#include "node.h"
#include "registry.h"
#include "run.h"

namespace pagedriver {

namespace bus = platform::atspi;

inline constexpr auto settleLimit = std::chrono::seconds(60);
constexpr int callMs = 5000;

inline bool until(const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + settleLimit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

inline bus::Target at(const bus::Ref& ref) {
    return bus::Target{ref, callMs};
}

inline std::optional<bus::Ref> find(const bus::Ref& in, std::uint32_t role, const std::string& name,
                                    int depth = 0) {
    const bus::Reply asked = bus::call(in, bus::accessibleInterface, "GetRole", {}, callMs);
    const auto name_ = bus::stringProperty(at(in), bus::accessibleInterface, "Name");
    if (bus::readUint32(asked) == role && name_.ok() && *name_.value == name) {
        return in;
    }
    const auto below = bus::children(at(in));
    if (depth > 40 || !below.ok()) {
        return std::nullopt;
    }
    for (const bus::Ref& child : *below.value) {
        if (auto found = find(child, role, name, depth + 1)) {
            return found;
        }
    }
    return std::nullopt;
}

inline bool focused(const bus::Ref& element) {
    const auto states = bus::states(at(element));
    return states.ok() && bus::has(*states.value, ATSPI_STATE_FOCUSED);
}

/// Enters the desktop and waits until its application is on the accessibility bus: its root.
inline std::optional<bus::Ref> join(const linuxdesktop::Desktop& desktop) {
    desktop.enter(false);
    std::optional<bus::Ref> root;
    until([&] {
        root = bus::applicationRoot(desktop.appPid(), callMs);
        return root.has_value();
    });
    return root;
}

/// Gives the element the focus and waits until the browser reports it there.
inline bool focus(const bus::Ref& element) {
    return until([&] {
        if (focused(element)) {
            return true;
        }
        bus::callForTrue(at(element), bus::componentInterface, "GrabFocus", {});
        return false;
    });
}

/// The chat page's search field, focused: its text as the page holds it, and clipped to 8 units
/// whole ("héllo " is 6 units, the waving hand with its skin tone one character of 4).
inline void expectTheSearchFieldsText(const linuxdesktop::Desktop& desktop) {
    const nlohmann::json reply = linuxdesktop::capture(desktop, {{"probe", false}});
    EXPECT_EQ(reply["focus"]["role"], "AXTextField") << reply;
    EXPECT_EQ(reply["field"], "h\u00e9llo \U0001F44B\U0001F3FD w\u00f6rld");
    const nlohmann::json clipped =
        linuxdesktop::capture(desktop, {{"probe", false}, {"maxChars", 8}});
    EXPECT_EQ(clipped["field"], "h\u00e9llo ");
    EXPECT_EQ(clipped["input"]["value"], "h\u00e9llo ");
}

}  // namespace pagedriver
