// The watchdog seen from the parent: deadlines, SIGTERM from outside and from the desktop's
// timeline, a command that answers first, and the pasteboard put back exactly once when the
// give-up comes while it is borrowed.
#include <gtest/gtest.h>

#include "process/harness.h"
#include "support/desktop_json.h"

namespace {

using desktopjson::app;
using desktopjson::element;
using desktopjson::json;

const json userItems = json::array({desktopjson::plainText("the user's own")});

// An application that answers every message slowly, so a capture takes well over a second.
json slowDesktop(const json& timeline = json::array(), int latencyMs = 400) {
    const json root =
        element("root", {{"AXRole", "AXApplication"}},
                {{"latencyMs", latencyMs}, {"children", {element("f", {{"AXRole", "AXButton"}})}}});
    return {{"frontmost", 60},
            {"pasteboard", {{"changeCount", 7}, {"items", userItems}}},
            {"apps", {app(60, root, {{"focused", "f"}})}},
            {"timeline", timeline}};
}

// A field that never shows the paste, so an insert sits in its verification wait while the
// pasteboard is borrowed.
json stubbornField(const json& timeline = json::array()) {
    const json field = desktopjson::textArea("f", "before");
    return {{"frontmost", 61},
            {"layouts", {{"current", "us"}}},
            {"pasteboard", {{"changeCount", 7}, {"items", userItems}}},
            {"apps",
             {app(61, element("root", {{"AXRole", "AXApplication"}}, {{"children", {field}}}),
                  {{"focused", "f"}, {"paste", nullptr}})}},
            {"timeline", timeline}};
}

json insertRequest(std::int64_t deadlineMs) {
    return {{"pid", 61},
            {"text", "hello"},
            {"deadlineMs", deadlineMs},
            {"verifyTimeoutMs", 3000},
            {"into", {{"kind", "focus"}, {"mode", "replaceSelection"}}}};
}

int helperWrites(const json& saved, const std::string& op) {
    int count = 0;
    for (const json& entry : saved["lastRun"]["pasteboard"]) {
        count += entry["op"] == op && entry["by"] == "helper" ? 1 : 0;
    }
    return count;
}

void expectOneLine(const harness::Run& run) {
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.lines(), 1) << run.out;
}

TEST(WatchdogDeadline, PassedDeadlineAnswersWithTheGivenNumber) {
    for (const std::int64_t deadline : {250LL, 0LL, -5LL}) {
        harness::Desktop desktop(slowDesktop());
        const harness::Run run = desktop.run("capture", {{"deadlineMs", deadline}});
        expectOneLine(run);
        EXPECT_EQ(run.reply(),
                  json({{"ok", false},
                        {"error", "timedOut"},
                        {"detail", "deadline of " + std::to_string(deadline) + " ms passed"}}));
    }
}

TEST(WatchdogDeadline, CommandThatAnswersFirstIsTheOnlyLine) {
    harness::Desktop desktop(slowDesktop(json::array(), 20));
    for (const std::int64_t deadline : {10000LL, 9223372036854775807LL}) {
        const harness::Run run =
            desktop.run("capture", {{"deadlineMs", deadline}, {"probe", false}});
        expectOneLine(run);
        EXPECT_EQ(run.reply().value("ok", false), true) << run.out;
    }
}

// A capture on the slow desktop that its parent terminates 300 ms in.
harness::Run terminatedCapture(const harness::Desktop& desktop, bool blockTerminate) {
    harness::Options options;
    options.args = {"capture"};
    options.input = "{}";
    options.env["LARKSPIN_DESKTOP"] = desktop.path();
    options.terminateAfter = std::chrono::milliseconds(300);
    options.blockTerminate = blockTerminate;
    return harness::run(options);
}

TEST(WatchdogTermination, SigtermFromOutsideAnswersTerminated) {
    harness::Desktop desktop(slowDesktop());
    const harness::Run run = terminatedCapture(desktop, false);
    expectOneLine(run);
    EXPECT_EQ(run.reply(), json({{"ok", false}, {"error", "timedOut"}, {"detail", "terminated"}}));
}

TEST(WatchdogTermination, SigtermBlockedByTheParentIsStillHeard) {
    harness::Desktop desktop(slowDesktop());
    const harness::Run run = terminatedCapture(desktop, true);
    expectOneLine(run);
    EXPECT_EQ(run.reply().value("detail", ""), "terminated");
}

TEST(WatchdogTermination, SigtermFromTheTimelineAnswersTerminated) {
    harness::Desktop desktop(slowDesktop({{{"atMs", 100}, {"signal", "TERM"}}}));
    const harness::Run run = desktop.run("capture", json::object());
    expectOneLine(run);
    EXPECT_EQ(run.reply().value("detail", ""), "terminated");
}

TEST(WatchdogTermination, SigtermWhileTheRequestIsReadEndsWithoutReply) {
    harness::Options options;
    options.args = {"capture"};
    options.closeInput = false;
    options.terminateAfter = std::chrono::milliseconds(100);
    const harness::Run run = harness::run(options);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.signal, SIGTERM);
}

TEST(WatchdogBorrowed, DeadlineWhileBorrowedPutsThePasteboardBackOnce) {
    harness::Desktop desktop(stubbornField());
    const harness::Run run = desktop.run("insert", insertRequest(400));
    expectOneLine(run);
    EXPECT_EQ(run.reply(), json({{"ok", false},
                                 {"error", "timedOut"},
                                 {"detail", "deadline of 400 ms passed"},
                                 {"restored", true}}));
    const json saved = desktop.read();
    EXPECT_EQ(saved["pasteboard"]["items"], userItems);
    EXPECT_EQ(helperWrites(saved, "writeObjects"), 1);
}

TEST(WatchdogBorrowed, SigtermWhileBorrowedPutsThePasteboardBack) {
    harness::Desktop desktop(
        stubbornField({{{"after", "pasteboardWrite"}, {"delayMs", 50}, {"signal", "TERM"}}}));
    const harness::Run run = desktop.run("insert", insertRequest(10000));
    expectOneLine(run);
    EXPECT_EQ(run.reply().value("detail", ""), "terminated");
    EXPECT_EQ(run.reply().value("restored", false), true);
    EXPECT_EQ(desktop.read()["pasteboard"]["items"], userItems);
}

TEST(WatchdogBorrowed, NewerWriteBySomebodyElseIsKept) {
    const json theirs = json::array({desktopjson::plainText("copied meanwhile")});
    harness::Desktop desktop(stubbornField(
        {{{"after", "pasteboardWrite"}, {"delayMs", 30}, {"pasteboard", {{"items", theirs}}}}}));
    const harness::Run run = desktop.run("insert", insertRequest(400));
    expectOneLine(run);
    EXPECT_EQ(run.reply().value("restored", true), false) << run.out;
    const json saved = desktop.read();
    EXPECT_EQ(saved["pasteboard"]["items"], theirs);
    EXPECT_EQ(helperWrites(saved, "writeObjects"), 0);
}

TEST(WatchdogBorrowed, GiveUpBeforeTheWriteRestoresNothing) {
    // Termination during activation: the pasteboard was never borrowed.
    json desktopFile =
        stubbornField({{{"after", "activation"}, {"delayMs", 20}, {"signal", "TERM"}}});
    desktopFile["frontmost"] = nullptr;
    desktopFile["apps"][0]["activation"] = {{"delayMs", 2000}};
    harness::Desktop desktop(desktopFile);
    const harness::Run run = desktop.run("insert", insertRequest(10000));
    expectOneLine(run);
    EXPECT_EQ(run.reply(), json({{"ok", false}, {"error", "timedOut"}, {"detail", "terminated"}}));
    const json saved = desktop.read();
    EXPECT_EQ(saved["pasteboard"]["changeCount"], 7);
    EXPECT_EQ(helperWrites(saved, "clearContents"), 0);
}

}  // namespace
