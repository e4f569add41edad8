// The soak's desktops, requests and judgement; runs go to a few worker threads, each run its own
// helper process and desktop file.
#include "process/soak.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "process/harness.h"
#include "support/desktop_json.h"
#include "support/dice.h"
#include "support/saved_desktop.h"

namespace soak {

namespace {

using desktopjson::app;
using desktopjson::element;
using desktopjson::json;

constexpr int pid = 80;
const json userItems =
    json::array({desktopjson::plainText("the user's own"),
                 json::array({{{"type", "public.png"}, {"base64", "iVBORw0KGgo="}}})});
const json foreignItems = json::array({desktopjson::plainText("written by somebody else")});

// What one run broke, if anything. The first four are faults; the last three are what no
// helper can undo: a copy slower than its last look at the pasteboard, somebody else's write
// that comes between Command-C and the copy (any change of the count is taken for the copy),
// and a paste slower than the waits it was given.
struct Outcome {
    bool notOneLine = false;  // not exactly one JSON line, a non-zero exit or text on stderr
    bool lostUser = false;    // the user's items are gone and nobody else wrote
    bool overwrote = false;   // somebody else's write was replaced by the user's old items
    bool leftText = false;    // the helper's own text is still on the pasteboard
    bool lateCopy = false;
    bool takenForCopy = false;
    bool latePaste = false;
};

double firstAt(const json& records, double otherwise) {
    return records.empty() ? otherwise : records[0]["atMs"].get<double>();
}

json timelineFor(Dice& dice, const char* trigger) {
    json timeline = json::array();
    if (dice.chance(50)) {
        timeline.push_back({{"after", dice.pick({trigger, "pasteboardWrite"})},
                            {"delayMs", dice.upTo(300)},
                            {"pasteboard", {{"items", foreignItems}}}});
    }
    if (dice.chance(50)) {
        timeline.push_back({{"after", dice.pick({trigger, "pasteboardWrite"})},
                            {"delayMs", dice.upTo(300)},
                            {"signal", "TERM"}});
    }
    return timeline;
}

json desktopFor(Dice& dice, bool forCapture) {
    const json field =
        forCapture
            ? element("f", {{"AXRole", "AXStaticText"}, {"AXValue", "a label"}})
            : desktopjson::textArea("f", "before ", {{"AXSelectedTextRange", {{"range", {7, 0}}}}});
    json reaction =
        dice.chance(15) ? json(nullptr) : json{{"delayMs", dice.pick({0, 5, 20, 60, 150, 400})}};
    if (forCapture && reaction.is_object()) {
        reaction["text"] = "the selection";
    }
    const json appExtra = {{"focused", "f"}, {forCapture ? "copy" : "paste", reaction}};
    json pasteboard = {{"changeCount", 5}, {"items", userItems}};
    if (dice.chance(30)) {
        pasteboard["readLatencyMs"] = dice.pick({5, 40, 150});
    }
    if (dice.chance(30)) {
        pasteboard["writeLatencyMs"] = dice.pick({5, 40, 150});
    }
    return {{"frontmost", pid},
            {"layouts", {{"current", dice.pick({"us", "dvorak", "dvorak-qwerty"})}}},
            {"pasteboard", pasteboard},
            {"apps",
             {app(pid, element("root", {{"AXRole", "AXApplication"}}, {{"children", {field}}}),
                  appExtra)}},
            {"timeline", timelineFor(dice, forCapture ? "commandC" : "commandV")}};
}

json requestFor(Dice& dice, bool forCapture) {
    const std::int64_t deadline = dice.chance(40) ? dice.upTo(500) : 3000;
    if (forCapture) {
        return {{"probeTimeoutMs", dice.pick({0, 50, 100, 250})}, {"deadlineMs", deadline}};
    }
    return {{"pid", pid},
            {"text", "the helper's text"},
            {"verifyTimeoutMs", dice.pick({0, 50, 300, 1000})},
            {"settleMs", dice.pick({0, 50, 300})},
            {"deadlineMs", deadline},
            {"into", {{"kind", "focus"}, {"mode", "replaceSelection"}}}};
}

bool holdsHelperText(const json& items) {
    for (const json& item : items) {
        for (const json& entry : item) {
            if (entry.value("text", "") == "the helper's text" ||
                entry["type"] == afterrun::transientMarker) {
                return true;
            }
        }
    }
    return false;
}

Outcome judge(bool capture, std::int64_t probeMs, const harness::Run& run, const json& saved) {
    Outcome outcome;
    outcome.notOneLine =
        run.lines() != 1 || run.reply().is_null() || run.status != 0 || !run.err.empty();
    if (!saved.is_object() || !saved.contains("lastRun")) {
        // The helper never saved its desktop: it was killed, or never reached a platform call.
        throw std::runtime_error("no saved desktop; status " + std::to_string(run.status) +
                                 ", signal " + std::to_string(run.signal) + ", " +
                                 std::to_string(static_cast<int>(run.elapsedMs)) + " ms, stderr " +
                                 run.err.substr(0, 300));
    }
    const json items = saved["pasteboard"]["items"];
    outcome.leftText = holdsHelperText(items);
    for (const json& paste : afterrun::reactions(saved, "paste")) {
        outcome.latePaste = outcome.latePaste || paste["afterExit"] == true;
    }
    // A copy that came later than probeTimeoutMs after Command-C, and after the helper's last
    // pasteboard operation, came too late for it, whether the desktop carried it out after the
    // process ended or just before.
    const json keys = saved["lastRun"]["events"];
    const json& operations = saved["lastRun"]["pasteboard"];
    const double window =
        keys.empty() ? 0 : keys[0]["atMs"].get<double>() + static_cast<double>(probeMs);
    for (auto it = operations.rbegin(); it != operations.rend() && (*it)["by"] != "helper"; ++it) {
        outcome.lateCopy =
            outcome.lateCopy || ((*it)["by"] == "app" && (*it)["op"] == "clearContents" &&
                                 (*it)["atMs"].get<double>() >= window);
    }
    const json foreign = afterrun::records(saved, "clearContents", "timeline");
    if (capture && !foreign.empty() && !keys.empty()) {
        const double commandC = keys[0]["atMs"].get<double>();
        const double copied = firstAt(afterrun::records(saved, "clearContents", "app"), 1e300);
        const double wrote = foreign[0]["atMs"].get<double>();
        outcome.takenForCopy = wrote >= commandC && wrote <= copied;
    }
    if (outcome.lateCopy || outcome.takenForCopy) {
        return outcome;
    }
    if (!foreign.empty()) {
        outcome.overwrote = items != foreignItems;
    } else {
        outcome.lostUser = items != userItems;
    }
    return outcome;
}

void printCounts(std::FILE* to, const char* what, const Counts& c) {
    std::fprintf(to, "%s: %d runs\n", what, c.runs);
    std::fprintf(to, "  not exactly one line, exit 0, empty stderr    %d\n", c.notOneLine);
    std::fprintf(to, "  user's pasteboard lost                        %d\n", c.lostUser);
    std::fprintf(to, "  somebody else's write overwritten             %d\n", c.overwrote);
    std::fprintf(to, "  helper's text left on the pasteboard          %d\n", c.leftText);
    std::fprintf(to, "  beyond any helper: copy after its last look   %d\n", c.lateCopy);
    std::fprintf(to, "                     write taken for the copy   %d\n", c.takenForCopy);
    std::fprintf(to, "                     paste after the reply      %d\n", c.latePaste);
}

struct Tally {
    std::mutex mutex;
    Report report;

    void add(bool capture, const Outcome& o, const std::string& where) {
        std::lock_guard lock(mutex);
        Counts& counts = capture ? report.captures : report.inserts;
        ++counts.runs;
        counts.notOneLine += o.notOneLine;
        counts.lostUser += o.lostUser;
        counts.overwrote += o.overwrote;
        counts.leftText += o.leftText;
        counts.lateCopy += o.lateCopy;
        counts.takenForCopy += o.takenForCopy;
        counts.latePaste += o.latePaste;
        if ((o.notOneLine || o.lostUser || o.overwrote || o.leftText) &&
            report.examples.size() < 10) {
            report.examples.push_back(where);
        }
    }
};

// Runs alternate between the two commands while both have runs left.
bool isCapture(int index, const Plan& plan) {
    const int paired = 2 * std::min(plan.captures, plan.inserts);
    return index < paired ? index % 2 == 0 : plan.captures > plan.inserts;
}

void soakOne(int index, const Plan& plan, Tally& tally) {
    Dice dice(plan.seed + static_cast<std::uint64_t>(index));
    const bool forCapture = isCapture(index, plan);
    const json desktopFile = desktopFor(dice, forCapture);
    const json request = requestFor(dice, forCapture);
    harness::Desktop desktop(desktopFile);
    harness::Options options;
    options.program = plan.helper;
    options.args = {forCapture ? "capture" : "insert"};
    options.input = request.dump();
    options.env["LARKSPIN_DESKTOP"] = desktop.path();
    options.hardLimit = std::chrono::seconds(30);  // every run ends within seconds, or it hangs
    const harness::Run run = harness::run(options);
    Outcome outcome;
    std::string problem;
    try {
        outcome = judge(forCapture, request.value("probeTimeoutMs", 0), run, desktop.read());
    } catch (const std::exception& error) {
        // A reply outside the schema, or a saved desktop that cannot be read: a broken run.
        outcome.notOneLine = true;
        problem = std::string(" (") + error.what() + ")";
    }
    tally.add(forCapture, outcome,
              "run " + std::to_string(index) + problem + ": " + run.out.substr(0, 120) +
                  " request " + request.dump() + " desktop " + desktopFile.dump());
}

}  // namespace

Report run(const Plan& plan) {
    Tally tally;
    std::atomic<int> next{0};
    const int total = plan.captures + plan.inserts;
    std::vector<std::thread> workers;
    for (int w = 0; w < std::max(plan.workers, 1); ++w) {
        workers.emplace_back([&] {
            for (int i = next++; i < total; i = next++) {
                soakOne(i, plan, tally);
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    return std::move(tally.report);
}

void print(const Report& report, std::FILE* to) {
    printCounts(to, "captures with the copy probe", report.captures);
    printCounts(to, "inserts", report.inserts);
    for (const std::string& example : report.examples) {
        std::fprintf(to, "  %s\n", example.c_str());
    }
}

}  // namespace soak
