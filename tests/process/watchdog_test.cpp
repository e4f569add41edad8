// The watchdog seen from the parent: deadlines, SIGTERM from outside and from the desktop's
// timeline, a command that answers first, and the pasteboard put back exactly once when the
// give-up comes while it is borrowed.
#include <gtest/gtest.h>

#include "process/harness.h"
#include "support/desktop_json.h"
#include "support/saved_desktop.h"

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

// A label with no selection that accessibility reports, so a capture probes; its application
// copies "the selection" after copyDelayMs (never, when negative).
json copyingDesktop(int copyDelayMs, const json& timeline) {
    const json label = element("label", {{"AXRole", "AXStaticText"}, {"AXValue", "a label"}});
    const json copy =
        copyDelayMs < 0 ? json(nullptr) : json{{"delayMs", copyDelayMs}, {"text", "the selection"}};
    return {{"frontmost", 62},
            {"layouts", {{"current", "us"}}},
            {"pasteboard", {{"changeCount", 7}, {"items", userItems}}},
            {"apps",
             {app(62, element("root", {{"AXRole", "AXApplication"}}, {{"children", {label}}}),
                  {{"focused", "label"}, {"copy", copy}})}},
            {"timeline", timeline}};
}

// A deadline that passes in the verification wait: the helper has borrowed the pasteboard long
// before it, even started under a sanitizer on a loaded machine, and waits 3 s there.
constexpr std::int64_t inTheWait = 1500;

json insertRequest(std::int64_t deadlineMs) {
    return {{"pid", 61},
            {"text", "hello"},
            {"deadlineMs", deadlineMs},
            {"verifyTimeoutMs", 3000},
            {"into", {{"kind", "focus"}, {"mode", "replaceSelection"}}}};
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
    const harness::Run run = desktop.run("insert", insertRequest(inTheWait));
    expectOneLine(run);
    EXPECT_EQ(run.reply(), json({{"ok", false},
                                 {"error", "timedOut"},
                                 {"detail", "deadline of 1500 ms passed"},
                                 {"restored", true}}));
    const json saved = desktop.read();
    EXPECT_EQ(saved["pasteboard"]["items"], userItems);
    EXPECT_EQ(afterrun::restores(saved), 1);
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
    const harness::Run run = desktop.run("insert", insertRequest(inTheWait));
    expectOneLine(run);
    EXPECT_EQ(run.reply().value("restored", true), false) << run.out;
    const json saved = desktop.read();
    EXPECT_EQ(saved["pasteboard"]["items"], theirs);
    EXPECT_EQ(afterrun::restores(saved), 0);
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
    EXPECT_TRUE(afterrun::records(saved, "clearContents").empty());
}

// The probe parks the user's items before Command-C: a give-up while the copy is on its way, or
// right as it lands, waits for it (at most the probe's time-out) and puts the items back.
TEST(WatchdogProbe, GiveUpAroundTheCopyPutsTheUserItemsBack) {
    struct Case {
        const char* name;
        int copyDelayMs;
        json timeline;
        std::int64_t deadlineMs;
        const char* detail;
        bool raceable;  // the capture may answer, or the probe restore, before SIGTERM is heard
    };
    const json termAfterCopyKey = {{"after", "commandC"}, {"delayMs", 10}, {"signal", "TERM"}};
    const json termAtOnce = {{"after", "commandC"}, {"delayMs", 0}, {"signal", "TERM"}};
    const Case cases[] = {
        {"SIGTERM while the copy is on its way",
         150,
         {termAfterCopyKey},
         10000,
         "terminated",
         false},
        {"SIGTERM as the copy lands", 0, {termAtOnce}, 10000, "terminated", true},
        // The chord comes well before the deadline, even under a sanitizer on a loaded machine,
        // and the copy two seconds after the chord.
        {"deadline while the copy is on its way", 2000, json::array(), 1000,
         "deadline of 1000 ms passed", false},
    };
    for (const Case& c : cases) {
        harness::Desktop desktop(copyingDesktop(c.copyDelayMs, c.timeline));
        const harness::Run run =
            desktop.run("capture", {{"probeTimeoutMs", 3000}, {"deadlineMs", c.deadlineMs}});
        expectOneLine(run);
        if (!c.raceable) {
            EXPECT_EQ(run.reply(), json({{"ok", false},
                                         {"error", "timedOut"},
                                         {"detail", c.detail},
                                         {"restored", true}}))
                << c.name;
        }
        const json saved = desktop.read();
        EXPECT_EQ(saved["pasteboard"]["items"], userItems) << c.name;
        EXPECT_EQ(afterrun::reactions(saved, "copy"),
                  json::array({{{"pid", 62},
                                {"kind", "copy"},
                                {"dueMs", afterrun::reactions(saved, "copy")[0]["dueMs"]},
                                {"afterExit", false}}}))
            << c.name;
    }
}

TEST(WatchdogProbe, WriteBySomebodyElseAfterTheCopyWins) {
    // The copy lands at once, but reading it takes 300 ms; meanwhile somebody else writes and
    // then SIGTERM comes: only the copy's own count may be undone, so their write stays.
    const json theirs = json::array({desktopjson::plainText("copied by the user meanwhile")});
    json file = copyingDesktop(
        0, {{{"after", "commandC"}, {"delayMs", 100}, {"pasteboard", {{"items", theirs}}}},
            {{"after", "commandC"}, {"delayMs", 200}, {"signal", "TERM"}}});
    file["pasteboard"]["readLatencyMs"] = 300;
    harness::Desktop desktop(file);
    const harness::Run run = desktop.run("capture", {{"probeTimeoutMs", 1000}});
    expectOneLine(run);
    EXPECT_EQ(
        run.reply(),
        json(
            {{"ok", false}, {"error", "timedOut"}, {"detail", "terminated"}, {"restored", false}}));
    EXPECT_EQ(desktop.read()["pasteboard"]["items"], theirs);
}

TEST(WatchdogProbe, CopyThatNeverComesIsWaitedForOnlyUntilTheProbeTimeOut) {
    harness::Desktop desktop(
        copyingDesktop(-1, {{{"after", "commandC"}, {"delayMs", 10}, {"signal", "TERM"}}}));
    const harness::Run run = desktop.run("capture", {{"probeTimeoutMs", 200}});
    expectOneLine(run);
    // Nothing was copied, so nothing was given back: no "restored".
    EXPECT_EQ(run.reply(), json({{"ok", false}, {"error", "timedOut"}, {"detail", "terminated"}}));
    EXPECT_GE(run.elapsedMs, 200);
    const json saved = desktop.read();
    EXPECT_EQ(saved["pasteboard"]["changeCount"], 7);
    EXPECT_TRUE(afterrun::records(saved, "clearContents").empty());
}

// The exit lock decides between the command and the watchdog, both ways: a command that holds it
// for its reply is the one that answers, however long past the deadline; a command in a guarded
// section makes the watchdog wait, and then the watchdog answers. A failure on the thread that
// holds it answers at once rather than waiting on itself.
TEST(WatchdogExitLock, WhoeverHoldsTheLockFirstAnswers) {
    struct Case {
        const char* mode;
        json reply;
        std::int64_t atLeastMs;
    };
    const Case cases[] = {
        {"reply", {{"ok", true}, {"version", 4}}, 300},
        {"guarded",
         {{"ok", false}, {"error", "timedOut"}, {"detail", "deadline of 0 ms passed"}},
         300},
        {"failsInside", {{"ok", false}, {"error", "internal"}, {"detail", "gone inside"}}, 300},
        {"givingBackFails",
         {{"ok", false}, {"error", "internal"}, {"detail", "gone while giving back"}},
         0},
    };
    for (const Case& c : cases) {
        harness::Options options;
        options.program = LARKSPIN_LOCK_HOLDER_BINARY;
        options.args = {c.mode};
        options.hardLimit = std::chrono::seconds(10);  // a thread waiting on itself never answers
        const harness::Run run = harness::run(options);
        expectOneLine(run);
        EXPECT_EQ(run.reply(), c.reply) << c.mode;
        EXPECT_GE(run.elapsedMs, c.atLeastMs)
            << c.mode;  // the reply came only once the lock was free
    }
}

}  // namespace
