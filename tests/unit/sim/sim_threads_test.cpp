// The desktop under concurrent use, as the helper's main and watchdog threads use it: racing
// first loads, a save while a call waits out its latency, and desktops replaced mid-flight.
#include <filesystem>
#include <fstream>
#include <future>
#include <stdlib.h>
#include <unistd.h>

#include "platform/core_foundation.h"
#include "platform/pasteboard.h"
#include "platform/process.h"
#include "sim_support.h"

namespace simtest {
namespace {

using platform::AXError;

class SimThreads : public SimTest {
  protected:
    void SetUp() override {
        path = std::filesystem::temp_directory_path() /
               ("larkspin-sim-threads-" + std::to_string(::getpid()) + ".json");
        json slow = element("slow", {{"AXRole", "AXGroup"}}, {{"latencyMs", 600}});
        json root = element("root", {{"AXRole", "AXApplication"}}, {{"children", {slow}}});
        std::ofstream(path) << json{{"apps", {app(1, root)}}}.dump();
        ::setenv("LARKSPIN_DESKTOP", path.c_str(), 1);
        platform::sim::reset();
    }
    void TearDown() override {
        platform::sim::reset();
        ::unsetenv("LARKSPIN_DESKTOP");
        std::filesystem::remove(path);
    }
    std::filesystem::path path;
};

TEST_F(SimThreads, RacingFirstCallsLoadOneDesktop) {
    auto other = std::async(std::launch::async, [] { return platform::createApplication(1); });
    const auto mine = platform::createApplication(1);
    EXPECT_TRUE(platform::same(mine, other.get()));
}

TEST_F(SimThreads, SavingDoesNotWaitForACallInProgress) {
    const auto slow = *platform::sim::elementById(1, "slow");
    platform::setMessagingTimeout(slow, 1.0f);
    auto call = std::async(std::launch::async,
                           [&] { return platform::copyAttributeValue(slow, "AXRole"); });
    std::this_thread::sleep_for(100ms);
    platform::beforeExit();
    EXPECT_EQ(call.wait_for(0s), std::future_status::timeout);
    EXPECT_EQ(text(call.get()), "AXGroup");
    const json saved = json::parse(std::ifstream(path));
    EXPECT_EQ(saved["lastRun"]["calls"].size(), 1u);  // logged when it was sent
}

TEST_F(SimThreads, DesktopsCanBeReplacedWhileTheirThreadIsBusy) {
    const json busy = {{"apps", {app(1, element("root", {{"AXRole", "AXApplication"}}))}},
                       {"timeline",
                        {{{"atMs", 0}, {"frontmost", 1}},
                         {{"atMs", 1}, {"frontmost", nullptr}},
                         {{"atMs", 2}, {"frontmost", 1}}}}};
    for (int i = 0; i < 30; ++i) {
        use(busy);
        const auto board = platform::generalPasteboard();
        platform::clearContents(board);
        platform::setString(board, "x", platform::plainTextType);
        EXPECT_EQ(text(platform::copyAttributeValue(platform::createApplication(1), "AXRole")),
                  "AXApplication");
        if (i % 2 == 0) {
            platform::sim::reset();
        }
    }
}

}  // namespace
}  // namespace simtest
