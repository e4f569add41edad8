// What the Linux tests ask of a helper run on a headless desktop: the capture that must answer,
// the ready line's and the fingerprint's rectangles.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "desktop.h"
#include "helper_run.h"
#include "process/harness.h"

namespace linuxdesktop {

/// The four numbers after the ready word, as a reply's rectangle; null when there are none.
inline nlohmann::json readyRect(const Desktop& desktop) {
    std::istringstream words(desktop.readyLine());
    std::string ready;
    double x = 0, y = 0, w = 0, h = 0;
    words >> ready >> x >> y >> w >> h;
    if (!words) {
        return nullptr;
    }
    return {{"x", x}, {"y", y}, {"w", w}, {"h", h}};
}

/// A capture that must answer with one successful line.
inline nlohmann::json capture(const Desktop& desktop, const nlohmann::json& request) {
    const harness::Run run = runHelper(desktop, "capture", request);
    EXPECT_EQ(run.lines(), 1) << run.out << run.err;
    nlohmann::json reply = run.reply();
    EXPECT_EQ(reply.value("ok", false), true) << run.out << run.err;
    return reply;
}

/// Captures until `done` holds for the reply, at most `limit`; the last reply.
inline nlohmann::json captureUntil(const Desktop& desktop, const nlohmann::json& request,
                                   const std::function<bool(const nlohmann::json&)>& done,
                                   std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    nlohmann::json reply = capture(desktop, request);
    while (!done(reply) && std::chrono::steady_clock::now() < end) {
        reply = capture(desktop, request);
    }
    return reply;
}

/// Captures until the reply names a focus: an application's accessibility may come up after
/// its window has the focus, the more so on a machine's first start of its toolkit (caches
/// built, the registry started).
inline nlohmann::json captureOnceFocused(
    const Desktop& desktop, const nlohmann::json& request,
    std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    return captureUntil(
        desktop, request, [](const nlohmann::json& reply) { return reply["focus"].is_object(); },
        limit);
}

/// Captures until the reply names a composer: a walk that runs out of its 150 ms before it has
/// seen every field as near names none, and a loaded machine makes an application that slow.
/// A composer named wrongly ends the wait as well, for the caller to see.
inline nlohmann::json captureNamingAComposer(const Desktop& desktop,
                                             const nlohmann::json& request) {
    return captureUntil(desktop, request,
                        [](const nlohmann::json& reply) { return reply["composer"].is_object(); });
}

/// The role, subrole and frame of a fingerprint, or nothing when it has not that form.
inline std::optional<nlohmann::json> fingerprintFrame(const nlohmann::json& element) {
    if (!element.is_string()) {
        return std::nullopt;
    }
    std::smatch m;
    const std::string text = element;
    if (!std::regex_match(text, m,
                          std::regex("[A-Za-z]*\\|[A-Za-z]*\\|(-?\\d+),(-?\\d+),(\\d+),(\\d+)"))) {
        return std::nullopt;
    }
    return nlohmann::json{{"x", std::stod(m[1])},
                          {"y", std::stod(m[2])},
                          {"w", std::stod(m[3])},
                          {"h", std::stod(m[4])}};
}

}  // namespace linuxdesktop
