// The fault soak on a real desktop: randomised inserts and captures against the GTK window over
// X11, with the user's clipboard empty, a text or everything (a large target among them), the
// deadline and SIGTERM at any moment, and somebody else copying at any moment; it counts the
// runs that broke a promise of the helper and the keepers left serving nothing. The benchmark
// runs it long, a test runs it short.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace linuxsoak {

struct Counts {
    int runs = 0;
    // Faults: not exactly one reply line that fits the schema, exit 0 and a silent stderr; the
    // clipboard afterwards neither the user's (nobody else copied) nor the other writer's; the
    // helper's own text left on it; a keeper still running though it owns nothing.
    int notOneLine = 0;
    int lostClipboard = 0;
    int leftText = 0;
    int strayKeepers = 0;

    int faults() const { return notOneLine + lostClipboard + leftText + strayKeepers; }
};

struct Report {
    Counts captures;
    Counts inserts;
    std::vector<std::string> examples;  // the first runs with a fault, to reproduce them
};

struct Plan {
    int captures = 20;
    int inserts = 60;
    std::uint64_t seed = 20261210;
    std::string helper = LARKSPIN_LINUX_HELPER_BINARY;
};

/// Runs the plan on one desktop of its own; throws when the desktop cannot be started.
Report run(const Plan& plan);
void print(const Report& report, std::FILE* to);

}  // namespace linuxsoak
