// A fault soak: randomised captures with the copy probe and inserts, on desktops whose
// applications copy and paste late or never, whose pasteboard is slow, where somebody else
// writes the pasteboard and SIGTERM or the deadline comes at any moment around the copy and the
// paste. Prints how many runs broke a promise of the helper; it never fails.
//
//   larkspin_soak [runs] [seed]
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "process/harness.h"
#include "support/desktop_json.h"
#include "support/saved_desktop.h"

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

class Dice {
  public:
    explicit Dice(std::uint64_t seed) : engine(seed) {}
    int upTo(int n) { return std::uniform_int_distribution<int>(0, n)(engine); }
    bool chance(int percent) { return upTo(99) < percent; }
    template <class T>
    T pick(std::initializer_list<T> list) {
        return *(list.begin() + upTo(static_cast<int>(list.size()) - 1));
    }

  private:
    std::mt19937_64 engine;
};

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

struct Counts {
    int runs = 0;
    int notOneLine = 0;
    int lostUser = 0;
    int overwrote = 0;
    int leftText = 0;
    int lateCopy = 0;
    int takenForCopy = 0;
    int latePaste = 0;

    void add(const Outcome& o) {
        ++runs;
        notOneLine += o.notOneLine;
        lostUser += o.lostUser;
        overwrote += o.overwrote;
        leftText += o.leftText;
        lateCopy += o.lateCopy;
        takenForCopy += o.takenForCopy;
        latePaste += o.latePaste;
    }
};

struct Tally {
    std::mutex mutex;
    Counts captures;
    Counts inserts;
    std::vector<std::string> examples;

    void add(bool capture, const Outcome& o, const std::string& where) {
        std::lock_guard lock(mutex);
        (capture ? captures : inserts).add(o);
        if ((o.notOneLine || o.lostUser || o.overwrote || o.leftText) && examples.size() < 10) {
            examples.push_back(where);
        }
    }
};

void print(const char* what, const Counts& c) {
    std::printf("%s: %d runs\n", what, c.runs);
    std::printf("  not exactly one line, exit 0, empty stderr    %d\n", c.notOneLine);
    std::printf("  user's pasteboard lost                        %d\n", c.lostUser);
    std::printf("  somebody else's write overwritten             %d\n", c.overwrote);
    std::printf("  helper's text left on the pasteboard          %d\n", c.leftText);
    std::printf("  beyond any helper: copy after its last look   %d\n", c.lateCopy);
    std::printf("                     write taken for the copy   %d\n", c.takenForCopy);
    std::printf("                     paste after the reply      %d\n", c.latePaste);
}

void soak(int index, std::uint64_t seed, Tally& tally) {
    Dice dice(seed + static_cast<std::uint64_t>(index));
    const bool forCapture = index % 2 == 0;
    const json desktopFile = desktopFor(dice, forCapture);
    const json request = requestFor(dice, forCapture);
    harness::Desktop desktop(desktopFile);
    const harness::Run run = desktop.run(forCapture ? "capture" : "insert", request);
    Outcome outcome;
    try {
        outcome = judge(forCapture, request.value("probeTimeoutMs", 0), run, desktop.read());
    } catch (const json::exception& error) {
        outcome.notOneLine = true;  // a saved desktop the soak cannot read is a broken run too
        std::fprintf(stderr, "run %d: %s\n", index, error.what());
    }
    tally.add(forCapture, outcome,
              "run " + std::to_string(index) + ": " + run.out.substr(0, 120) + " request " +
                  request.dump() + " desktop " + desktopFile.dump());
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 400;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20261209;
    Tally tally;
    std::atomic<int> next{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 2; ++w) {
        workers.emplace_back([&] {
            for (int i = next++; i < runs; i = next++) {
                soak(i, seed, tally);
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    std::printf("fault soak, seed %llu\n", static_cast<unsigned long long>(seed));
    print("captures with the copy probe", tally.captures);
    print("inserts", tally.inserts);
    for (const std::string& example : tally.examples) {
        std::printf("  %s\n", example.c_str());
    }
    return 0;
}
