// Prints the helper's figures side by side: process start against a trivial program, decoding
// a 20 MB request, a capture on a large window with and without per-call latency, and how soon
// an insert gives the pasteboard back after the paste landed. It never fails.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "process/harness.h"
#include "scenes.h"

namespace {

using nlohmann::json;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Interleaved with the helper's runs, so that both see the same machine: --version against a
// static C program printing the same line.
void processStart() {
    constexpr int runs = 200;
    std::vector<double> helper;
    std::vector<double> trivial;
    for (int i = 0; i < runs; ++i) {
        harness::Options options;
        options.args = {"--version"};
        helper.push_back(harness::run(options).elapsedMs);
        options.program = LARKSPIN_TRIVIAL_BINARY;
        options.args = {};
        trivial.push_back(harness::run(options).elapsedMs);
    }
    std::printf("process start (%d runs each, interleaved, median ms)\n", runs);
    std::printf("  larkspin-helper --version   %7.2f\n", median(helper));
    std::printf("  static C program, same line %7.2f\n", median(trivial));
    std::printf("  ratio                       %7.2f x\n\n", median(helper) / median(trivial));
}

// python3's json.load of the file, timed inside python so that its start does not count.
double pythonLoadMs(const std::string& path) {
    harness::Options options;
    options.program = "/usr/bin/env";
    options.args = {"python3", "-c",
                    "import json,sys,time\n"
                    "t=time.perf_counter()\n"
                    "json.load(open(sys.argv[1],encoding='utf-8'))\n"
                    "print((time.perf_counter()-t)*1000)",
                    path};
    const harness::Run run = harness::run(options);
    return run.out.empty() ? -1 : std::atof(run.out.c_str());
}

// When the field read the pasteboard for its paste, and when the helper last wrote it (the
// restore), from the run's record; -1 for what did not happen.
std::pair<double, double> pasteAndRestore(const json& saved) {
    double landed = -1;
    double restored = -1;
    for (const json& op : saved["lastRun"]["pasteboard"]) {
        if (op["by"] == "app" && op["op"] == "stringForType" && landed < 0) {
            landed = op["atMs"].get<double>();
        }
        if (op["by"] == "helper" && op["op"] == "writeObjects") {
            restored = op["atMs"].get<double>();
        }
    }
    return {landed, restored};
}

// The request as a file beside the desktop, for python3 to read; removed with `remove()`.
struct RequestFile {
    RequestFile(const harness::Desktop& desktop, const std::string& text)
        : path(desktop.path().substr(0, desktop.path().rfind('/')) + "/request.json") {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file != nullptr) {
            std::fwrite(text.data(), 1, text.size(), file);
            std::fclose(file);
        }
    }
    ~RequestFile() { std::remove(path.c_str()); }
    RequestFile(const RequestFile&) = delete;
    RequestFile& operator=(const RequestFile&) = delete;
    std::string path;
};

// About 20 MB of words of "é" and "…", which keep their own NFC.
std::string largeText() {
    std::string text;
    const std::string word = "\xC3\xA9t\xC3\xA9\xE2\x80\xA6 ";
    while (text.size() < 20 * 1024 * 1024) {
        text += word;
    }
    return text;
}

// The helper's own peak, as bench/peak.c wrote it.
double peakKb(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        return 0;
    }
    long kb = 0;
    if (std::fscanf(file, "%ld", &kb) != 1) {
        kb = 0;
    }
    std::fclose(file);
    return static_cast<double>(kb);
}

struct Decoded {
    double helperMs = 0;
    double peakMb = 0;
    double pythonMs = 0;
    std::string reply;
};

// A request that is only decoded: its command then fails at once.
Decoded decodeOnly(const std::string& word, const std::string& request, const json& desktopFile) {
    harness::Desktop desktop(desktopFile);
    const RequestFile file(desktop, request);
    std::vector<double> helper;
    std::vector<double> python;
    Decoded result;
    const std::string peakFile = file.path + ".peak";
    for (int i = 0; i < 5; ++i) {
        harness::Options options;
        options.program = LARKSPIN_PEAK_BINARY;
        options.args = {peakFile, LARKSPIN_HELPER_BINARY, word};
        options.input = request;
        options.env["LARKSPIN_DESKTOP"] = desktop.path();
        const harness::Run run = harness::run(options);
        helper.push_back(run.elapsedMs);
        result.peakMb = std::max(result.peakMb, peakKb(peakFile) / 1024.0);
        result.reply = run.out.substr(0, 50);
        python.push_back(pythonLoadMs(file.path));
    }
    std::remove(peakFile.c_str());
    result.helperMs = median(helper);
    result.pythonMs = median(python);
    return result;
}

void printDecoded(const char* what, std::size_t bytes, const Decoded& d) {
    std::printf("%s (%.1f MB; 5 runs each, interleaved, median)\n", what,
                static_cast<double>(bytes) / 1048576.0);
    std::printf("  helper, whole run           %7.1f ms, peak %.1f MB (%.1f x the request)\n",
                d.helperMs, d.peakMb, d.peakMb * 1048576.0 / static_cast<double>(bytes));
    std::printf("  python3 json.load           %7.1f ms\n", d.pythonMs);
    std::printf("  ratio                       %7.2f x   reply %s\n\n", d.helperMs / d.pythonMs,
                d.reply.c_str());
}

void decodeLarge() {
    const std::string insertRequest = json{{"pid", 999999},
                                           {"text", largeText()},
                                           {"into", {{"kind", "focus"}, {"mode", "replaceField"}}}}
                                          .dump();
    printDecoded("insert request, to a process that is gone", insertRequest.size(),
                 decodeOnly("insert", insertRequest, json{{"apps", json::array()}}));

    json readers = json::object();
    for (int i = 0; i < 80000; ++i) {
        readers["com.example.reader" + std::to_string(i)] = {
            {"list", {{{"role", "AXList"}, {"subrole", "AXContentList"}}}},
            {"rows", 3},
            {"depth", 2},
            {"skipClasses", {"timestamp", "avatar"}},
            {"me", {{"role", "AXButton"}, {"domClass", "current-user"}}},
            {"trustsAxSelection", false}};
    }
    const std::string captureRequest =
        json{{"probe", false}, {"conversation", {{"budgetMs", 400}, {"readers", readers}}}}.dump();
    printDecoded("capture request with 80,000 readers, no frontmost application",
                 captureRequest.size(),
                 decodeOnly("capture", captureRequest,
                            json{{"frontmost", nullptr}, {"apps", json::array()}}));
}

// The whole insert of the large text into a field that pastes 20 ms after Command-V, and how
// soon after the paste landed the user's pasteboard was back.
void insertLarge() {
    const std::string text = largeText();
    const json request = {
        {"pid", 601}, {"text", text}, {"into", {{"kind", "focus"}, {"mode", "replaceSelection"}}}};
    const std::string requestText = request.dump();
    std::vector<double> walls;
    std::vector<double> backs;
    std::vector<double> python;
    std::string reply;
    for (int i = 0; i < 3; ++i) {
        harness::Desktop desktop(scenes::pastingField(20));
        const RequestFile file(desktop, requestText);
        const harness::Run run = harness::command("insert", requestText, desktop.path());
        reply = run.out.substr(0, 80);
        const json saved = desktop.read();
        const auto [landed, restored] = pasteAndRestore(saved);
        walls.push_back(run.elapsedMs);
        backs.push_back(restored - landed);
        python.push_back(pythonLoadMs(file.path));
    }
    std::printf("insert of %.1f MB into a field that pastes after 20 ms (3 runs, median)\n",
                static_cast<double>(text.size()) / 1048576.0);
    std::printf("  reply %s\n", reply.c_str());
    std::printf("  paste landed -> pasteboard back %7.1f ms (%.2f x python3 json.load)\n",
                median(backs), median(backs) / median(python));
    std::printf("  whole run                       %7.1f ms (%.2f x python3 json.load)\n",
                median(walls), median(walls) / median(python));
    std::printf("  python3 json.load of the request %6.1f ms\n\n", median(python));
}

std::map<std::string, int> callsByOp(const json& saved) {
    std::map<std::string, int> counts;
    for (const json& call : saved["lastRun"]["calls"]) {
        ++counts[call.value("op", "?")];
    }
    return counts;
}

void largeCapture() {
    std::printf("capture on a large window (about 3000 elements, 200-row conversation)\n");
    for (const int latency : {0, 1}) {
        harness::Desktop desktop(scenes::largeChat(latency));
        const harness::Run run = desktop.run("capture", scenes::largeChatRequest());
        const json reply = run.reply();
        const json saved = desktop.read();
        const auto counts = callsByOp(saved);
        int total = 0;
        for (const auto& [op, count] : counts) {
            total += count;
        }
        std::printf("  latency %d ms/call: wall %7.1f ms, %5d accessibility calls (", latency,
                    run.elapsedMs, total);
        for (const auto& [op, count] : counts) {
            std::printf(" %s %d", op.c_str(), count);
        }
        const json conversation = reply.value("conversation", json());
        std::printf(
            " ), composer %s, rows %zu, conversation ms %s\n",
            reply.value("composer", json()).is_null() ? "none" : "found",
            conversation.is_object() ? conversation.value("rows", json::array()).size() : 0,
            conversation.is_object() ? conversation.value("ms", json()).dump().c_str() : "-");
    }
    std::printf("\n");
}

void insertAfterPaste() {
    constexpr int runs = 20;
    std::vector<double> afterLanding;
    std::vector<double> walls;
    for (int i = 0; i < runs; ++i) {
        harness::Desktop desktop(scenes::pastingField(5));
        const harness::Run run =
            desktop.run("insert", {{"pid", 601},
                                   {"text", "hello"},
                                   {"into", {{"kind", "focus"}, {"mode", "replaceSelection"}}}});
        const json saved = desktop.read();
        const auto [landed, restored] = pasteAndRestore(saved);
        if (landed >= 0 && restored >= 0) {
            afterLanding.push_back(restored - landed);
        }
        walls.push_back(run.elapsedMs);
    }
    std::sort(afterLanding.begin(), afterLanding.end());
    std::sort(walls.begin(), walls.end());
    std::printf("insert into a field that pastes 5 ms after Command-V (%d runs)\n", runs);
    if (!afterLanding.empty()) {
        std::printf("  paste landed -> pasteboard restored: median %.1f ms, max %.1f ms\n",
                    afterLanding[afterLanding.size() / 2], afterLanding.back());
    }
    std::printf("  whole run: median %.1f ms (common tools wait a fixed 250 to 300 ms)\n",
                walls[walls.size() / 2]);
}

}  // namespace

int main() {
    processStart();
    insertLarge();
    decodeLarge();
    largeCapture();
    insertAfterPaste();
    return 0;
}
