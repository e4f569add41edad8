// capture through AT-SPI on the GTK test window: wall time and bus calls per run, against the
// time the same run's bus calls took (from the helper's trace) and against capture on the same
// window built on the simulated desktop. Prints figures; never fails. Usage:
// larkspin_linux_bench [path of another larkspin-helper-linux to measure]
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "linux/desktop.h"
#include "process/harness.h"

namespace {

using nlohmann::json;

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
    double busMs = 0;      // the time the run's bus calls took, summed
    double slowestMs = 0;  // the slowest of them
};

// The durations the trace gives its calls, one per line (" 0.123ms" at the end).
std::vector<double> callTimes(const std::vector<std::string>& lines, std::size_t from) {
    std::vector<double> times;
    for (std::size_t i = from; i < lines.size(); ++i) {
        const auto space = lines[i].rfind(' ');
        if (space != std::string::npos) {
            times.push_back(std::atof(lines[i].c_str() + space + 1));
        }
    }
    return times;
}

// The helper measured: this build's, or another given as the first argument.
std::string helper = LARKSPIN_LINUX_HELPER_BINARY;

Figures onLinux(const linuxdesktop::App& app, int runs) {
    const linuxdesktop::Desktop desktop(app);
    harness::Options options;
    options.program = helper;
    options.args = {"capture"};
    options.input = request().dump();
    options.env = desktop.env();
    std::vector<double> walls, calls, bus, slowest;
    // A few runs first: GTK lays a large text out in the background after it shows it.
    for (int i = 0; i < 3; ++i) {
        harness::run(options);
    }
    for (int i = 0; i < runs; ++i) {
        const std::size_t before = desktop.trace().size();
        const harness::Run run = harness::run(options);
        const auto times = callTimes(desktop.trace(), before);
        walls.push_back(run.elapsedMs);
        calls.push_back(static_cast<double>(times.size()));
        double sum = 0;
        double most = 0;
        for (const double t : times) {
            sum += t;
            most = std::max(most, t);
        }
        bus.push_back(sum);
        slowest.push_back(most);
    }
    return {median(walls), median(calls), median(bus), median(slowest)};
}

Figures onSimulated(const std::string& focused, int runs) {
    json window = harness::readJsonFile(LARKSPIN_GTK_WINDOW_JSON);
    window["apps"][0]["focused"] = focused;
    std::vector<double> walls, calls;
    for (int i = 0; i < runs; ++i) {
        const harness::Desktop desktop(window);
        const harness::Run run = desktop.run("capture", request());
        walls.push_back(run.elapsedMs);
        calls.push_back(static_cast<double>(desktop.read()["lastRun"]["calls"].size()));
    }
    return {median(walls), median(calls), 0, 0};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        helper = argv[1];
    }
    std::printf(
        "capture on the GTK test window through AT-SPI (medians): wall time, bus calls, and\n"
        "the time those calls took in the same run (their sum, the slowest)\n");
    const struct {
        const char* what;
        const char* focus;
        const char* simulated;  // the same focus on the simulated window, if it has it
        bool offTheBus;
        int runs;
    } cases[] = {
        {"editable focus (field)", "entry", "entry", false, 20},
        {"non-editable focus (button: composer, 3 rows)", "button", "send", false, 20},
        {"5 MB document, caret at the end", "large", nullptr, false, 5},
        {"application without accessibility", "entry", nullptr, true, 20},
    };
    for (const auto& c : cases) {
        try {
            linuxdesktop::App app = linuxdesktop::gtk3App(c.focus);
            if (c.offTheBus) {
                app.env = {{"NO_AT_BRIDGE", "1"}};
            }
            const Figures real = onLinux(app, c.runs);
            std::printf("  %s\n", c.what);
            std::printf(
                "    AT-SPI    wall %7.1f ms, %4.0f bus calls taking %7.1f ms (slowest %.1f)\n",
                real.wallMs, real.calls, real.busMs, real.slowestMs);
            if (c.simulated != nullptr) {
                const Figures simulated = onSimulated(c.simulated, c.runs);
                std::printf("    simulated wall %7.1f ms, %4.0f accessibility calls\n",
                            simulated.wallMs, simulated.calls);
            }
        } catch (const std::exception& e) {
            std::printf("  %s: no desktop (%s)\n", c.what, e.what());
        }
    }
    return 0;
}
