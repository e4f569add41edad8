// Shared helpers of the simulated desktop's tests: building desktop files, installing them, and
// short ways to read attributes through the platform interface.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/accessibility.h"
#include "platform/sim/control.h"

namespace simtest {

using nlohmann::json;
using namespace std::chrono_literals;

/// Installs the desktop for one test and removes it afterwards.
class SimTest : public ::testing::Test {
  protected:
    void TearDown() override { platform::sim::reset(); }

    static void use(const json& desktop) {
        const auto error = platform::sim::install(desktop.dump());
        ASSERT_FALSE(error.has_value()) << *error;
    }

    static platform::Element at(platform::Pid pid, const std::string& id) {
        auto element = platform::sim::elementById(pid, id);
        EXPECT_TRUE(element.has_value()) << "no element " << id;
        return element ? *element : platform::Element{};
    }
};

inline json element(const std::string& id, json attributes = json::object(),
                    json extra = json::object()) {
    if (attributes.is_null()) {
        attributes = json::object();
    }
    json e = {{"id", id}, {"attributes", std::move(attributes)}};
    for (auto& [key, value] : extra.items()) {
        e[key] = value;
    }
    return e;
}

inline json app(int pid, json root, json extra = json::object()) {
    json a = {{"pid", pid},
              {"bundleId", "com.example." + std::to_string(pid)},
              {"name", "App " + std::to_string(pid)},
              {"root", std::move(root)}};
    for (auto& [key, value] : extra.items()) {
        a[key] = value;
    }
    return a;
}

inline std::optional<std::string> text(const platform::AttributeRead& read) {
    if (read.error != platform::AXError::success || !read.value) {
        return std::nullopt;
    }
    if (const auto* s = std::get_if<std::string>(&read.value->data)) {
        return *s;
    }
    return std::nullopt;
}

inline std::optional<std::string> idOfValue(const platform::AttributeRead& read) {
    if (read.error != platform::AXError::success || !read.value) {
        return std::nullopt;
    }
    if (const auto* e = std::get_if<platform::Element>(&read.value->data)) {
        return platform::sim::idOf(*e);
    }
    return std::nullopt;
}

inline platform::Value range(std::int64_t location, std::int64_t length) {
    return platform::Value{platform::Wrapped{platform::Range{location, length}}};
}

inline double elapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
        .count();
}

}  // namespace simtest
