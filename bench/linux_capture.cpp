// capture on the real GTK test window through AT-SPI against capture on the same window built on
// the simulated desktop: wall time and accessibility calls per run. Prints figures; never fails.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "linux/desktop.h"
#include "process/harness.h"

namespace {

using nlohmann::json;

constexpr int runs = 20;

json request() {
    return {{"probe", false},
            {"maxChars", 1000},
            {"conversation",
             {{"budgetMs", 2000},
              {"readers",
               {{"org.larkspin.TestApp",
                 {{"list", json::array({{{"role", "AXList"}}})},
                  {"rows", 3},
                  {"depth", 3},
                  {"skipClasses", json::array()},
                  {"trustsAxSelection", true}}}}}}}};
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figures {
    double wallMs = 0;
    double calls = 0;
    std::string reply;
};

Figures onLinux(const std::string& focus) {
    const linuxdesktop::Desktop desktop(focus);
    harness::Options options;
    options.program = LARKSPIN_LINUX_HELPER_BINARY;
    options.args = {"capture"};
    options.input = request().dump();
    options.env = desktop.env();
    std::vector<double> walls;
    std::vector<double> calls;
    Figures figures;
    for (int i = 0; i < runs; ++i) {
        const std::size_t before = desktop.trace().size();
        const harness::Run run = harness::run(options);
        walls.push_back(run.elapsedMs);
        calls.push_back(static_cast<double>(desktop.trace().size() - before));
        figures.reply = run.out.substr(0, 100);
    }
    figures.wallMs = median(walls);
    figures.calls = median(calls);
    return figures;
}

Figures onSimulated(const std::string& focused) {
    json window = harness::readJsonFile(LARKSPIN_GTK_WINDOW_JSON);
    window["apps"][0]["focused"] = focused;
    std::vector<double> walls;
    std::vector<double> calls;
    Figures figures;
    for (int i = 0; i < runs; ++i) {
        const harness::Desktop desktop(window);
        const harness::Run run = desktop.run("capture", request());
        walls.push_back(run.elapsedMs);
        calls.push_back(static_cast<double>(desktop.read()["lastRun"]["calls"].size()));
        figures.reply = run.out.substr(0, 100);
    }
    figures.wallMs = median(walls);
    figures.calls = median(calls);
    return figures;
}

}  // namespace

int main() {
    std::printf(
        "capture on the GTK test window: AT-SPI against the simulated desktop (%d runs, "
        "medians)\n",
        runs);
    const struct {
        const char* focus;
        const char* simulated;
        const char* what;
    } cases[] = {{"entry", "entry", "focused field"},
                 {"button", "send", "button: composer and 3 conversation rows"}};
    for (const auto& c : cases) {
        try {
            const Figures real = onLinux(c.focus);
            const Figures simulated = onSimulated(c.simulated);
            std::printf("  %s\n", c.what);
            std::printf("    AT-SPI    wall %6.1f ms, %4.0f bus calls\n", real.wallMs, real.calls);
            std::printf("    simulated wall %6.1f ms, %4.0f accessibility calls\n",
                        simulated.wallMs, simulated.calls);
            std::printf("    ratio     %.2f x wall, %.2f x calls\n", real.wallMs / simulated.wallMs,
                        real.calls / simulated.calls);
        } catch (const std::exception& e) {
            std::printf("  %s: no desktop (%s)\n", c.what, e.what());
        }
    }
    return 0;
}
