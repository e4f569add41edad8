// The soak's runs and their judgement. Every run leaves the clipboard settled before it is
// judged: the helper has answered (and it answers only once a keeper holds what it gave back),
// and somebody else's copy, when the run has one, has been made.
#include "soak.h"

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "clipboard.h"
#include "desktop.h"
#include "support/dice.h"

namespace linuxsoak {

namespace {

using namespace linuxdesktop;
using nlohmann::json;

const std::string foreignKind = "text:written by somebody else";

// The keepers this process has taken over from helpers that ended (it is their subreaper).
std::vector<pid_t> keepers() {
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return found;
    }
    while (const dirent* entry = readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atol(entry->d_name));
        if (pid <= 0 || !isKeeper(pid)) {
            continue;
        }
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == getpid() && state != 'Z') {
            found.push_back(pid);
        }
    }
    closedir(proc);
    return found;
}

void end(const Owner& owner) {
    if (owner.pid > 0) {
        kill(owner.pid, SIGTERM);
        awaitExit(owner.pid, std::chrono::seconds(10));
    }
}

struct Outcome {
    bool notOneLine = false;
    bool lostClipboard = false;
    bool leftText = false;
    int strayKeepers = 0;
    bool faulty() const { return notOneLine || lostClipboard || leftText || strayKeepers > 0; }
};

json requestFor(Dice& dice, bool capture, pid_t app, int index) {
    const std::int64_t deadline = dice.chance(40) ? dice.upTo(500) : 3000;
    if (capture) {
        return {{"probe", dice.chance(50)},
                {"probeTimeoutMs", dice.pick({0, 50, 250})},
                {"deadlineMs", deadline}};
    }
    return {{"pid", app},
            {"text", " the helper's text " + std::to_string(index)},
            {"verifyTimeoutMs", dice.pick({0, 50, 1000})},
            {"settleMs", dice.pick({0, 50, 300})},
            {"deadlineMs", deadline},
            {"into",
             {{"kind", "focus"},
              {"mode", dice.pick({"replaceSelection", "afterSelection", "replaceField"})}}}};
}

Outcome soakOne(Desktop& desktop, const Plan& plan, int index, bool capture, std::string& about) {
    Dice dice(plan.seed + static_cast<std::uint64_t>(index));
    const std::string kind = dice.pick({"none", "text:the user's own", "full"});
    Owner user;
    if (kind == "none") {
        clearClipboard(desktop);
    } else {
        user = own(desktop, kind);
    }
    harness::Options options;
    options.program = plan.helper;
    options.args = {capture ? "capture" : "insert"};
    options.input = requestFor(dice, capture, desktop.appPid(), index).dump();
    options.env = desktop.env();
    // A SIGTERM before the helper arms its deadline waits for it instead of killing it.
    options.blockTerminate = true;
    if (dice.chance(30)) {
        options.terminateAfter = std::chrono::milliseconds(dice.upTo(400));
    }
    options.hardLimit = std::chrono::seconds(30);
    const bool foreign = dice.chance(30);
    const int foreignAfterMs = dice.upTo(400);
    about = "kind " + kind + ", request " + options.input +
            (options.terminateAfter
                 ? ", SIGTERM after " + std::to_string(options.terminateAfter->count()) + " ms"
                 : std::string()) +
            (foreign ? ", a copy after " + std::to_string(foreignAfterMs) + " ms" : "");

    // The helper runs on a thread of its own, so that the copy is made from this one.
    harness::Run run;
    std::thread helper([&] { run = harness::run(options); });
    Owner other;
    if (foreign) {
        std::this_thread::sleep_for(std::chrono::milliseconds(foreignAfterMs));
        other = own(desktop, foreignKind);
    }
    helper.join();

    Outcome outcome;
    try {
        outcome.notOneLine =
            run.lines() != 1 || run.reply().is_null() || run.status != 0 || !run.err.empty();
    } catch (const std::exception& error) {
        outcome.notOneLine = true;
        about += std::string(" (") + error.what() + ")";
    }
    const std::string dump =
        awaitClipboard(desktop, std::chrono::seconds(10),
                       [](const std::string& d) { return d.rfind("owner changing", 0) != 0; });
    const std::string expected = foreign ? other.offered : kind == "none" ? "" : user.offered;
    outcome.lostClipboard = expected.empty() ? dump != "owner none\n" : contents(dump) != expected;
    outcome.leftText = dump.find("x-kde-passwordManagerHint") != std::string::npos;
    const std::optional<pid_t> owner = ownerOf(dump);
    for (const pid_t keeper : keepers()) {
        if (keeper != owner && !awaitExit(keeper, std::chrono::seconds(5))) {
            ++outcome.strayKeepers;
        }
    }
    about += ": " + run.out.substr(0, 160) + " clipboard " + dump.substr(0, 80);
    end(user);
    end(other);
    return outcome;
}

void add(Counts& counts, const Outcome& outcome) {
    ++counts.runs;
    counts.notOneLine += outcome.notOneLine;
    counts.lostClipboard += outcome.lostClipboard;
    counts.leftText += outcome.leftText;
    counts.strayKeepers += outcome.strayKeepers;
}

void printCounts(std::FILE* to, const char* what, const Counts& c) {
    std::fprintf(to, "%s: %d runs\n", what, c.runs);
    std::fprintf(to, "  not exactly one line, exit 0, empty stderr    %d\n", c.notOneLine);
    std::fprintf(to, "  clipboard lost or overwritten                 %d\n", c.lostClipboard);
    std::fprintf(to, "  helper's text left on the clipboard           %d\n", c.leftText);
    std::fprintf(to, "  keepers left serving nothing                  %d\n", c.strayKeepers);
}

}  // namespace

Report run(const Plan& plan) {
    Report report;
    Desktop desktop("entry");
    const int total = plan.captures + plan.inserts;
    for (int index = 0; index < total; ++index) {
        // One capture among every four runs while both kinds are left.
        const bool capture = index % 4 == 3 ? report.captures.runs < plan.captures
                                            : report.inserts.runs >= plan.inserts;
        std::string about;
        const Outcome outcome = soakOne(desktop, plan, index, capture, about);
        add(capture ? report.captures : report.inserts, outcome);
        if (outcome.faulty() && report.examples.size() < 10) {
            report.examples.push_back("run " + std::to_string(index) + ", " + about);
        }
    }
    return report;
}

void print(const Report& report, std::FILE* to) {
    printCounts(to, "captures", report.captures);
    printCounts(to, "inserts", report.inserts);
    for (const std::string& example : report.examples) {
        std::fprintf(to, "  %s\n", example.c_str());
    }
}

}  // namespace linuxsoak
