// The fault soak: randomised captures with the copy probe and inserts, on desktops whose
// applications copy and paste late or never, whose pasteboard is slow, where somebody else
// writes the pasteboard and SIGTERM or the deadline comes at any moment around the copy and the
// paste; it counts the runs that broke a promise of the helper. The benchmark runs it long, a
// test runs it short.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace soak {

struct Counts {
    int runs = 0;
    // Faults: not exactly one reply line that fits the schema, exit 0 and a silent stderr; the
    // user's pasteboard lost; somebody else's write overwritten; the helper's text left behind.
    int notOneLine = 0;
    int lostUser = 0;
    int overwrote = 0;
    int leftText = 0;
    // What no helper can undo: a copy slower than the probe's window and the helper's last
    // look, somebody else's write between Command-C and the copy (any change of the count is
    // taken for the copy), a paste slower than the waits the request allowed.
    int lateCopy = 0;
    int takenForCopy = 0;
    int latePaste = 0;

    int faults() const { return notOneLine + lostUser + overwrote + leftText; }
};

struct Report {
    Counts captures;
    Counts inserts;
    std::vector<std::string> examples;  // the first runs with a fault, to reproduce them
};

struct Plan {
    int captures = 400;
    int inserts = 1000;
    std::uint64_t seed = 20261209;
    std::string helper = LARKSPIN_HELPER_BINARY;
    int workers = 2;
};

Report run(const Plan& plan);
void print(const Report& report, std::FILE* to);

}  // namespace soak
