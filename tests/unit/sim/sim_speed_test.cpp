// How much the stand-in costs: loading and saving a desktop of about 10,000 elements and a call
// without latency. The figures are printed; the bounds are only there to catch a blow-up.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdlib.h>
#include <unistd.h>

#include "platform/process.h"
#include "sim_support.h"

namespace simtest {
namespace {

// A chat-like tree: windows, groups, rows and texts, ten of each below the next (11,111 elements).
std::string bigDesktop() {
    std::string out = R"({"frontmost": 1, "apps": [{"pid": 1, "bundleId": "com.example.big", )"
                      R"("name": "Big", "focused": "t-9-9-9-9", "root": )";
    int serial = 0;
    const auto node = [&](auto&& self, const std::string& id, int depth) -> void {
        static const char* roles[] = {"AXApplication", "AXWindow", "AXGroup", "AXGroup",
                                      "AXStaticText"};
        const int n = serial++;
        out += R"({"id": ")" + id + R"(", "attributes": {"AXRole": ")" + roles[depth] +
               R"(", "AXValue": "Message )" + std::to_string(n) +
               R"( with a little text, ünïcødé and 😀", "AXPosition": {"point": [)" +
               std::to_string(n % 1000) + ", " + std::to_string(n / 1000) +
               R"(]}, "AXSize": {"size": [320, 20]}, "AXDOMClassList": ["row"]})";
        if (depth < 4) {
            out += R"(, "children": [)";
            for (int i = 0; i < 10; ++i) {
                if (i > 0) {
                    out += ", ";
                }
                std::string child(depth == 3 ? "t" : "g");
                child.append(id, 1, std::string::npos);
                child.append("-");
                child.append(std::to_string(i));
                self(self, child, depth + 1);
            }
            out += "]";
        }
        out += "}";
    };
    node(node, "r", 0);
    out += "}]}";
    return out;
}

double msSince(std::chrono::steady_clock::time_point start) {
    return elapsedMs(start);
}

TEST(SimSpeed, LoadSaveAndCallCosts) {
    const std::string text = bigDesktop();
    const auto path = std::filesystem::temp_directory_path() /
                      ("larkspin-sim-speed-" + std::to_string(::getpid()) + ".json");
    std::ofstream(path, std::ios::binary) << text;
    ::setenv("LARKSPIN_DESKTOP", path.c_str(), 1);
    platform::sim::reset();

    auto start = std::chrono::steady_clock::now();
    const auto deep = platform::sim::elementById(1, "t-9-9-9-9");  // the first call loads
    const double loadMs = msSince(start);
    ASSERT_TRUE(deep.has_value());

    constexpr int calls = 20000;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) {
        ASSERT_EQ(platform::copyAttributeValue(*deep, "AXRole").error, platform::AXError::success);
    }
    const double roleUs = msSince(start) * 1000 / calls;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) {
        platform::copyAttributeValue(*deep, "AXWindow");
    }
    const double windowUs = msSince(start) * 1000 / calls;

    start = std::chrono::steady_clock::now();
    platform::beforeExit();  // with the 40,000 calls in lastRun
    const double saveMs = msSince(start);

    platform::sim::reset();
    start = std::chrono::steady_clock::now();
    platform::sim::elementById(1, "r");
    const double reloadMs = msSince(start);

    std::printf(
        "[ figures  ] %zu bytes, 11111 elements: load %.1f ms, save %.1f ms (with %d "
        "logged calls), reload %.1f ms; a call %.2f us (AXRole), %.2f us (AXWindow)\n",
        text.size(), loadMs, saveMs, 2 * calls, reloadMs, roleUs, windowUs);
    EXPECT_LT(loadMs, 20000);
    EXPECT_LT(saveMs, 20000);
    EXPECT_LT(roleUs, 1000);

    platform::sim::reset();
    ::unsetenv("LARKSPIN_DESKTOP");
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace simtest
