// The capture command as the parent sees it, grouped by the input decision, by the composer
// outcome and by the error replies; the saved desktop's call log proves what was never read.
#include <optional>

#include <gtest/gtest.h>

#include "process/harness.h"
#include "support/desktop_json.h"
#include "support/saved_desktop.h"

namespace {

using desktopjson::app;
using desktopjson::element;
using desktopjson::frame;
using desktopjson::json;
using desktopjson::merged;

constexpr int chat = 70;

const json userItems = json::array({desktopjson::plainText("clipboard before")});

json reader(bool trusts) {
    return {{"list", {{{"role", "AXList"}}}},
            {"rows", 2},
            {"depth", 1},
            {"skipClasses", json::array()},
            {"trustsAxSelection", trusts}};
}

json conversation(bool trusts) {
    return {{"budgetMs", 1000}, {"readers", {{"com.example.70", reader(trusts)}}}};
}

// A window with a message list (two rows), a focusable element chosen by the test and a
// composer; the copy reaction as given.
json desktopWith(const json& focused, const json& appExtra = json::object(),
                 const json& extraChildren = json::array()) {
    json rows = json::array();
    for (const char* text : {"first message", "second message"}) {
        rows.push_back(element(std::string("row-") + text, {{"AXRole", "AXGroup"}},
                               {{"children",
                                 {element(std::string("text-") + text,
                                          {{"AXRole", "AXStaticText"}, {"AXValue", text}})}}}));
    }
    json children = {
        element(
            "list",
            merged({{"AXRole", "AXList"}, {"AXDescription", "Messages"}}, frame(0, 0, 300, 400)),
            {{"children", rows}}),
        element("pane", {{"AXRole", "AXGroup"}}, {{"children", {focused}}}),
        element("scroll", merged({{"AXRole", "AXScrollArea"}}, frame(0, 400, 300, 60)),
                {{"children",
                  {desktopjson::textArea("composer", "", {{"AXPlaceholderValue", "Message"}})}}})};
    for (const json& extra : extraChildren) {
        children.push_back(extra);
    }
    const json window = element("window", merged({{"AXRole", "AXWindow"}}, frame(0, 0, 300, 460)),
                                {{"children", children}});
    return {{"frontmost", chat},
            {"layouts", {{"current", "us"}}},
            {"pasteboard", {{"changeCount", 4}, {"items", userItems}}},
            {"apps",
             {app(chat, element("root", {{"AXRole", "AXApplication"}}, {{"children", {window}}}),
                  merged({{"focused", focused["id"]}}, appExtra))}}};
}

std::vector<std::string> readsOf(const json& saved, const std::string& id) {
    std::vector<std::string> reads;
    for (const json& call : saved["lastRun"]["calls"]) {
        if (call["element"] == id) {
            reads.push_back(call.value("attribute", ""));
            reads.push_back(call.value("op", "") + " " + call.value("attribute", ""));
        }
    }
    return reads;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

struct Captured {
    json reply;
    json saved;
};

Captured capture(const json& desktopFile, const json& request) {
    harness::Desktop desktop(desktopFile);
    const harness::Run run = desktop.run("capture", request);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.lines(), 1) << run.out;
    return {run.reply(), desktop.read()};
}

const json noProbe = {{"ran", false}, {"changed", false}, {"restored", false}};

const json editableField = desktopjson::textArea(
    "field", "hello world",
    merged({{"AXSelectedTextRange", {{"range", {6, 5}}}}}, frame(10, 20, 200, 30)));

TEST(CaptureInput, AccessibilitySelectionComesFirst) {
    const Captured result = capture(desktopWith(editableField), json::object());
    EXPECT_EQ(
        result.reply["input"],
        json({{"kind", "selection"}, {"via", "ax"}, {"text", "world"}, {"truncated", false}}));
    EXPECT_EQ(result.reply["field"], "hello world");
    EXPECT_EQ(result.reply["probe"], noProbe);
    EXPECT_EQ(result.reply["focus"]["role"], "AXTextArea");
    EXPECT_EQ(result.reply["focus"]["editable"], true);
    EXPECT_EQ(result.reply["focus"]["element"], "AXTextArea||10,20,200,30");
    EXPECT_EQ(result.reply["composer"], nullptr);  // an editable focus is its own composer
    EXPECT_EQ(result.reply["conversation"], nullptr);
    EXPECT_EQ(result.reply["app"],
              json({{"bundleId", "com.example.70"}, {"name", "App 70"}, {"pid", chat}}));
    EXPECT_EQ(result.reply.size(), 8U);
}

TEST(CaptureInput, CopyProbeFindsWhatAccessibilityDoesNotReport) {
    const json label = element(
        "label", merged({{"AXRole", "AXStaticText"}, {"AXValue", "a label"}}, frame(5, 5, 50, 10)));
    const Captured result = capture(
        desktopWith(label, {{"copy", {{"delayMs", 10}, {"text", "copied"}}}}), json::object());
    EXPECT_EQ(
        result.reply["input"],
        json({{"kind", "selection"}, {"via", "copy"}, {"text", "copied"}, {"truncated", false}}));
    EXPECT_EQ(result.reply["probe"], json({{"ran", true}, {"changed", true}, {"restored", true}}));
    EXPECT_EQ(result.saved["pasteboard"]["items"], userItems);
    EXPECT_EQ(result.saved["lastRun"]["events"][0]["keyCode"], 8);
}

// As on X11: the application offers its selection without a key (PRIMARY); it is the input,
// still "via" copy, and the probe pressed nothing and borrowed nothing.
TEST(CaptureInput, SelectionOfferedWithoutKeysIsReadSo) {
    const json label = element(
        "label", merged({{"AXRole", "AXStaticText"}, {"AXValue", "a label"}}, frame(5, 5, 50, 10)));
    const Captured result =
        capture(desktopWith(label, {{"copy", {{"delayMs", 10}, {"text", "copied"}}},
                                    {"primarySelection", "primary words"}}),
                json::object());
    EXPECT_EQ(result.reply["input"], json({{"kind", "selection"},
                                           {"via", "copy"},
                                           {"text", "primary words"},
                                           {"truncated", false}}));
    EXPECT_EQ(result.reply["probe"], noProbe);
    EXPECT_TRUE(result.saved["lastRun"]["events"].empty());
    EXPECT_EQ(result.saved["pasteboard"]["changeCount"], 4);
}

TEST(CaptureInput, TrustingReaderTakesAnEmptySelectionAtItsWord) {
    json field = editableField;
    field["attributes"]["AXSelectedTextRange"] = {{"range", {11, 0}}};
    const Captured result = capture(desktopWith(field), {{"conversation", conversation(true)}});
    EXPECT_EQ(result.reply["input"], json({{"kind", "field"},
                                           {"replaceable", true},
                                           {"value", "hello world"},
                                           {"truncated", false}}));
    EXPECT_EQ(result.reply["probe"], noProbe);
    EXPECT_TRUE(result.saved["lastRun"]["events"].empty());
}

TEST(CaptureInput, WithoutAReaderTheProbeChecksAndFallsBackToTheField) {
    json field = editableField;
    field["attributes"]["AXSelectedTextRange"] = {{"range", {11, 0}}};
    const Captured result = capture(desktopWith(field), {{"probeTimeoutMs", 60}});
    EXPECT_EQ(result.reply["input"]["kind"], "field");
    EXPECT_EQ(result.reply["probe"],
              json({{"ran", true}, {"changed", false}, {"restored", false}}));
    EXPECT_EQ(result.saved["pasteboard"]["changeCount"], 4);
}

TEST(CaptureInput, ReplaceableAsksTheRangeOnlyForAnEditableFocus) {
    const json label = element("label", {{"AXRole", "AXStaticText"}, {"AXValue", "read only"}});
    const Captured result = capture(desktopWith(label), {{"probe", false}});
    EXPECT_EQ(result.reply["input"], json({{"kind", "field"},
                                           {"replaceable", false},
                                           {"value", "read only"},
                                           {"truncated", false}}));
    // Once by the editability test, never again by the field rule.
    const auto reads = readsOf(result.saved, "label");
    EXPECT_EQ(std::count(reads.begin(), reads.end(), "isSettable AXSelectedTextRange"), 1);
}

// Every combination of what decides the input: whether the request allows the probe, whether
// the application's reader trusts the accessibility selection, what kind of element has focus,
// and whether accessibility reports a selection in it.
TEST(CaptureInput, TheInputDecisionInEveryCombination) {
    enum class Kind { editable, readOnly, secure };
    for (const bool probe : {true, false}) {
        for (const std::optional<bool> trusts :
             {std::optional<bool>(), std::optional(false), std::optional(true)}) {
            for (const Kind kind : {Kind::editable, Kind::readOnly, Kind::secure}) {
                for (const bool selected : {false, true}) {
                    const json range =
                        selected ? desktopjson::range(0, 5) : desktopjson::range(4, 0);
                    json focused = kind == Kind::readOnly
                                       ? element("field", {{"AXRole", "AXStaticText"},
                                                           {"AXValue", "field text"},
                                                           {"AXSelectedTextRange", range}})
                                       : desktopjson::textArea("field", "field text",
                                                               {{"AXSelectedTextRange", range}});
                    if (kind == Kind::secure) {
                        focused["attributes"]["AXRole"] = "AXTextField";
                        focused["attributes"]["AXSubrole"] = "AXSecureTextField";
                    }
                    json request = {{"probe", probe}, {"probeTimeoutMs", 200}};
                    if (trusts) {
                        request["conversation"] = conversation(*trusts);
                    }
                    const Captured result = capture(
                        desktopWith(focused, {{"copy", {{"delayMs", 0}, {"text", "copied"}}}}),
                        request);
                    // The decision, as the protocol states it.
                    json input = {{"kind", "field"},
                                  {"replaceable", kind == Kind::editable},
                                  {"value", "field text"},
                                  {"truncated", false}};
                    bool probed = false;
                    if (kind == Kind::secure) {
                        input = {{"kind", "none"}};
                    } else if (selected) {
                        input = {{"kind", "selection"},
                                 {"via", "ax"},
                                 {"text", "field"},
                                 {"truncated", false}};
                    } else if (probe && !(trusts.value_or(false) && kind == Kind::editable)) {
                        probed = true;
                        input = {{"kind", "selection"},
                                 {"via", "copy"},
                                 {"text", "copied"},
                                 {"truncated", false}};
                    }
                    const std::string name =
                        std::string("probe ") + (probe ? "on" : "off") + ", reader " +
                        (trusts ? (*trusts ? "trusting" : "doubting") : "none") + ", focus " +
                        std::to_string(static_cast<int>(kind)) +
                        (selected ? ", selection" : ", caret");
                    EXPECT_EQ(result.reply["input"], input) << name;
                    EXPECT_EQ(result.reply["probe"]["ran"], probed) << name;
                    EXPECT_EQ(result.saved["lastRun"]["events"].empty(), !probed) << name;
                }
            }
        }
    }
}

TEST(CaptureInput, NothingToReportIsNone) {
    json empty = editableField;
    empty["attributes"]["AXValue"] = "";
    empty["attributes"].erase("AXSelectedTextRange");
    Captured result = capture(desktopWith(empty), {{"probe", false}});
    EXPECT_EQ(result.reply["input"], json({{"kind", "none"}}));
    EXPECT_EQ(result.reply["field"], "");

    json noFocus = desktopWith(editableField);
    noFocus["apps"][0]["focused"] = nullptr;
    result = capture(noFocus, {{"probe", false}});
    EXPECT_EQ(result.reply["input"], json({{"kind", "none"}}));
    EXPECT_EQ(result.reply["focus"], nullptr);
    EXPECT_EQ(result.reply["field"], nullptr);
    EXPECT_EQ(result.reply["composer"], nullptr);
    EXPECT_EQ(result.reply["probe"], noProbe);
}

TEST(CaptureInput, NoFocusStillProbesWhenAllowed) {
    json noFocus = desktopWith(editableField, {{"copy", {{"delayMs", 0}, {"text", "from copy"}}}});
    noFocus["apps"][0]["focused"] = nullptr;
    const Captured result = capture(noFocus, json::object());
    EXPECT_EQ(result.reply["input"]["via"], "copy");
    EXPECT_EQ(result.reply["focus"], nullptr);
}

TEST(CaptureInput, TextsAreClippedAtCharacterBoundaries) {
    json field = editableField;
    field["attributes"]["AXValue"] = "ab\xF0\x9F\x98\x80 and more";
    field["attributes"]["AXSelectedTextRange"] = {{"range", {0, 4}}};
    Captured result = capture(desktopWith(field), {{"maxChars", 3}});
    EXPECT_EQ(result.reply["input"]["text"], "ab");
    EXPECT_EQ(result.reply["input"]["truncated"], true);
    EXPECT_EQ(result.reply["field"], "ab");
    result = capture(desktopWith(field), {{"maxChars", 0}});
    EXPECT_EQ(result.reply["input"]["text"], "");
    EXPECT_EQ(result.reply["input"]["truncated"], true);
}

// A label whose every message takes latencyMs, so the capture's reads after the probe take a
// while; its application copies "late copy" copyDelayMs after Command-C.
json slowLabelDesktop(int latencyMs, int copyDelayMs) {
    const json label = element("label", {{"AXRole", "AXStaticText"}, {"AXValue", "a label"}},
                               {{"latencyMs", latencyMs}});
    return desktopWith(label, {{"copy", {{"delayMs", copyDelayMs}, {"text", "late copy"}}}});
}

TEST(CaptureProbe, CopyAfterTheTimeOutButBeforeTheReplyIsUndone) {
    // The probe gives up after 20 ms; the copy lands at 150 ms, while the reads that follow the
    // probe (seven of them, 50 ms each) still run; the reply looks once more and restores.
    const Captured result = capture(slowLabelDesktop(50, 150), {{"probeTimeoutMs", 20}});
    EXPECT_EQ(result.reply["probe"], json({{"ran", true}, {"changed", false}, {"restored", true}}));
    EXPECT_EQ(result.reply["input"]["kind"], "field");
    EXPECT_EQ(result.saved["pasteboard"]["items"], userItems);
    EXPECT_EQ(afterrun::reactions(result.saved, "copy")[0]["afterExit"], false);
}

TEST(CaptureProbe, CopyAfterTheReplyCannotBeUndone) {
    // What the README says of a copy slower than everything: it lands after the helper is gone.
    const Captured result = capture(slowLabelDesktop(0, 400), {{"probeTimeoutMs", 20}});
    EXPECT_EQ(result.reply["probe"],
              json({{"ran", true}, {"changed", false}, {"restored", false}}));
    EXPECT_EQ(result.saved["pasteboard"]["items"],
              json::array({desktopjson::plainText("late copy")}));
    const json copies = afterrun::reactions(result.saved, "copy");
    ASSERT_EQ(copies.size(), 1U);
    EXPECT_EQ(copies[0]["afterExit"], true);
    EXPECT_GE(copies[0]["dueMs"].get<double>(), 400);
    const json cleared = afterrun::records(result.saved, "clearContents", "app");
    ASSERT_EQ(cleared.size(), 1U);
    EXPECT_EQ(cleared[0]["afterExit"], true);
}

TEST(CaptureProbe, WriteBySomebodyElseRightAfterTheCopyIsKept) {
    // The copy lands at once and another program writes 100 ms after Command-C, while the probe
    // still reads what was copied (every read of pasteboard data takes 400 ms): only the copy's
    // own step of the count is undone, so the other write stays and nothing is given back,
    // whether the probe saw the count move before the other write or after it.
    const json theirs = json::array({desktopjson::plainText("theirs")});
    json file = slowLabelDesktop(0, 0);
    file["pasteboard"]["readLatencyMs"] = 400;
    file["timeline"] = {
        {{"after", "commandC"}, {"delayMs", 100}, {"pasteboard", {{"items", theirs}}}}};
    const Captured result = capture(file, {{"probeTimeoutMs", 1000}});
    EXPECT_EQ(result.reply["probe"], json({{"ran", true}, {"changed", true}, {"restored", false}}));
    EXPECT_EQ(result.saved["pasteboard"]["items"], theirs);
    EXPECT_EQ(afterrun::restores(result.saved), 0);
}

// The probe runs only where its keys arrive and the user's pasteboard can be given back as it
// was: otherwise the input is decided as though the request had not allowed it, no key is
// pressed and the pasteboard is left exactly as it is.
TEST(CaptureProbe, DoesNotRunWhereItCouldNotGiveThePasteboardBackOrPressAKey) {
    const json lazy = {{"type", "com.example.lazy"}, {"data", nullptr}};
    const json concealed = json::array({{{"type", "org.nspasteboard.ConcealedType"}, {"text", ""}},
                                        {{"type", "public.utf8-plain-text"}, {"text", "pw"}}});
    struct Case {
        const char* name;
        json change;  // merged into the desktop file
        json pasteboardChange;
    };
    const Case cases[] = {
        {"posting not allowed", {{"postEventAccess", false}}, json::object()},
        {"secure input", {{"secureInput", true}}, json::object()},
        {"access denied", json::object(), {{"accessBehavior", "alwaysDeny"}}},
        {"a type without data",
         json::object(),
         {{"items", json::array({json::array({userItems[0][0], lazy})})}}},
        {"a concealed item", json::object(), {{"items", json::array({userItems[0], concealed})}}},
    };
    for (const Case& c : cases) {
        json file = merged(desktopWith(editableField), c.change);
        file["apps"][0]["root"]["children"][0]["children"][1]["children"][0]["attributes"]
            ["AXSelectedTextRange"] = desktopjson::range(0, 0);
        file["pasteboard"] = merged(file["pasteboard"], c.pasteboardChange);
        const Captured result = capture(file, json::object());
        EXPECT_EQ(result.reply["probe"], noProbe) << c.name;
        EXPECT_EQ(result.reply["input"]["kind"], "field") << c.name;
        EXPECT_TRUE(result.saved["lastRun"]["events"].empty()) << c.name;
        EXPECT_EQ(result.saved["pasteboard"], file["pasteboard"]) << c.name;
    }
}

// Keys the user still holds are waited out before Command-C; Electron and Chromium applications
// are asked to build their tree before the focus is read.
TEST(CaptureProbe, HeldModifiersAreWaitedOutAndTreesAreAskedFor) {
    const json label = element("label", {{"AXRole", "AXStaticText"}, {"AXValue", "a label"}});
    json file = desktopWith(
        label, {{"copy", {{"delayMs", 5}, {"text", "copied"}}}, {"treeOnRequest", true}});
    file["heldModifiers"] = {{"flags", 0x100000 | 0x20000}, {"untilMs", 80}};
    const Captured result = capture(file, {{"probeTimeoutMs", 100}});
    EXPECT_EQ(result.reply["focus"]["role"], "AXStaticText");
    EXPECT_EQ(result.reply["input"].value("text", ""), "copied") << result.reply.dump();
    EXPECT_GE(result.saved["lastRun"]["events"][0]["atMs"].get<double>(), 80);
    EXPECT_EQ(result.saved["pasteboard"]["items"], userItems);
}

// The key of Command-C on each kind of layout, down to the fallback when no layout maps c.
TEST(CaptureProbe, CommandCIsPressedWithTheKeyTheLayoutGivesIt) {
    struct Case {
        json layouts;
        int keyCode;
        bool copies;
    };
    const json noC = {{"keys", {{"0", "a"}}}};
    const Case cases[] = {
        {{{"current", "us"}}, 8, true},
        {{{"current", "dvorak"}}, 34, true},
        {{{"current", "dvorak-qwerty"}, {"asciiCapable", "dvorak-qwerty"}}, 8, true},
        // Found on the ASCII-capable layout; the application reads keys through the current
        // one, which makes nothing of it, as a real application might.
        {{{"current", noC}, {"asciiCapable", "dvorak"}}, 34, false},
        {{{"current", noC}, {"asciiCapable", noC}}, 8, false},  // the fallback
        {{{"current", nullptr}}, 8, true},  // no layout data: the fallback, read as US
    };
    for (const Case& c : cases) {
        const json label = element("label", {{"AXRole", "AXStaticText"}, {"AXValue", "a label"}});
        json file = desktopWith(label, {{"copy", {{"delayMs", 5}, {"text", "copied"}}}});
        file["layouts"] = c.layouts;
        const Captured result = capture(file, {{"probeTimeoutMs", 100}});
        EXPECT_EQ(result.saved["lastRun"]["events"][0]["keyCode"], c.keyCode) << c.layouts;
        EXPECT_EQ(result.reply["input"].value("via", ""), c.copies ? "copy" : "") << c.layouts;
    }
}

TEST(CapturePassword, PasswordFieldIsNeverReadCopiedOrSearched) {
    const json password = element("password",
                                  merged({{"AXRole", "AXTextField"},
                                          {"AXSubrole", "AXSecureTextField"},
                                          {"AXValue", "hunter2"},
                                          {"AXSelectedTextRange", {{"range", {0, 7}}}}},
                                         frame(1, 2, 3, 4)),
                                  {{"settable", {"AXValue", "AXSelectedTextRange"}}});
    const Captured result = capture(desktopWith(password), {{"conversation", conversation(false)}});
    EXPECT_EQ(result.reply["focus"], json({{"role", "AXSecureTextField"},
                                           {"editable", false},
                                           {"element", "AXTextField|AXSecureTextField|1,2,3,4"},
                                           {"anchor", nullptr}}));
    EXPECT_EQ(result.reply["input"], json({{"kind", "none"}}));
    EXPECT_EQ(result.reply["field"], nullptr);
    EXPECT_EQ(result.reply["composer"], nullptr);
    EXPECT_EQ(result.reply["conversation"], nullptr);
    EXPECT_EQ(result.reply["probe"], noProbe);
    const std::vector<std::string> reads = readsOf(result.saved, "password");
    for (const char* secret : {"AXValue", "AXSelectedText", "AXSelectedTextRange", "AXWindow"}) {
        EXPECT_FALSE(contains(reads, secret)) << secret;
    }
    EXPECT_TRUE(result.saved["lastRun"]["events"].empty());
}

TEST(CapturePassword, PasswordFieldInADumpedRowKeepsOnlyItsRole) {
    // A sign-in row in the conversation: two password fields, by role and by subrole.
    const json row =
        element("row-sign-in", {{"AXRole", "AXGroup"}},
                {{"children",
                  {element("by-role", {{"AXRole", "AXSecureTextField"}, {"AXValue", "hunter2"}}),
                   element("by-subrole", {{"AXRole", "AXTextField"},
                                          {"AXSubrole", "AXSecureTextField"},
                                          {"AXValue", "swordfish"},
                                          {"AXTitle", "Password"}}),
                   element("plain", {{"AXRole", "AXStaticText"}, {"AXValue", "visible"}})}}});
    json file = desktopWith(element("focused-row", {{"AXRole", "AXRow"}}));
    file["apps"][0]["root"]["children"][0]["children"][0]["children"].push_back(row);
    const Captured result =
        capture(file, {{"probe", false}, {"conversation", conversation(false)}});
    const json& rows = result.reply["conversation"]["rows"];
    ASSERT_TRUE(rows.is_array()) << result.reply.dump();
    EXPECT_EQ(
        rows[0]["children"],
        json({{{"role", "AXSecureTextField"}},
              {{"role", "AXTextField"}, {"subrole", "AXSecureTextField"}, {"title", "Password"}},
              {{"role", "AXStaticText"}, {"value", "visible"}}}));
    for (const char* id : {"by-role", "by-subrole"}) {
        const std::vector<std::string> reads = readsOf(result.saved, id);
        EXPECT_FALSE(contains(reads, "AXValue")) << id;
        EXPECT_FALSE(contains(reads, "AXSelectedText")) << id;
    }
    EXPECT_TRUE(contains(readsOf(result.saved, "plain"), "AXValue"));
    // Telling a password field costs no read of its own: the subrole is the dump's one read
    // (the text field by subrole is also looked at by the composer search).
    for (const char* id : {"by-role", "plain"}) {
        const std::vector<std::string> reads = readsOf(result.saved, id);
        EXPECT_EQ(std::count(reads.begin(), reads.end(), "copy AXSubrole"), 1) << id;
    }
}

TEST(CaptureComposer, FocusedListFindsTheWindowsComposer) {
    const json row = element("focused-row", merged({{"AXRole", "AXRow"}}, frame(0, 0, 10, 10)));
    const Captured result = capture(desktopWith(row), {{"probe", false}});
    EXPECT_EQ(result.reply["composer"],
              json({{"element", "AXTextArea||0,400,300,60"}, {"label", "Message"}}));
}

TEST(CaptureComposer, TwoComposersAtTheSameDepthAreATie) {
    const json row = element("focused-row", {{"AXRole", "AXRow"}});
    const json second = desktopjson::textArea("second", "");
    const Captured result =
        capture(desktopWith(row, json::object(), json::array({second})), {{"probe", false}});
    EXPECT_EQ(result.reply["composer"], nullptr);
}

TEST(CaptureComposer, NearerComposerWinsOverOneFurtherUp) {
    const json row = element("focused-row", {{"AXRole", "AXRow"}});
    const json nearby =
        element("near-pane", {{"AXRole", "AXGroup"}},
                {{"children", {row, desktopjson::textArea("near", "", frame(7, 7, 70, 7))}}});
    const Captured result = capture(desktopWith(nearby), {{"probe", false}});
    EXPECT_EQ(result.reply["composer"]["element"], "AXTextArea||7,7,70,7");
}

TEST(CaptureConversation, ReaderForTheBundleDumpsTheLastRows) {
    const json row = element("focused-row", {{"AXRole", "AXRow"}});
    const Captured result =
        capture(desktopWith(row), {{"probe", false}, {"conversation", conversation(false)}});
    const json& dumped = result.reply["conversation"];
    ASSERT_TRUE(dumped.is_object()) << result.reply.dump();
    EXPECT_EQ(dumped["list"], json({{"description", "Messages"}}));
    ASSERT_EQ(dumped["rows"].size(), 2U);
    EXPECT_EQ(dumped["rows"][0]["children"][0]["value"], "second message");
    EXPECT_EQ(dumped["me"], nullptr);
    EXPECT_TRUE(dumped["ms"].contains("me"));
}

TEST(CaptureConversation, OtherBundleGetsNoConversation) {
    const json row = element("focused-row", {{"AXRole", "AXRow"}});
    json request = {{"probe", false}, {"conversation", conversation(true)}};
    request["conversation"]["readers"] = {{"com.example.70X", reader(true)}};
    const Captured result = capture(desktopWith(row), request);
    EXPECT_EQ(result.reply["conversation"], nullptr);
}

TEST(CaptureErrors, UntrustedAndNoFrontmostApplication) {
    json untrusted = desktopWith(editableField);
    untrusted["trusted"] = false;
    Captured result = capture(untrusted, json::object());
    EXPECT_EQ(result.reply, json({{"ok", false}, {"error", "notTrusted"}}));
    EXPECT_TRUE(result.saved["lastRun"]["calls"].empty());

    json nobody = desktopWith(editableField);
    nobody["frontmost"] = nullptr;
    nobody["focusedApplication"] = nullptr;
    result = capture(nobody, json::object());
    EXPECT_EQ(result.reply, json({{"ok", false}, {"error", "noFrontmostApp"}}));

    json unknownPid = desktopWith(editableField);
    unknownPid["frontmost"] = 4242;
    unknownPid["focusedApplication"] = 4242;
    result = capture(unknownPid, json::object());
    EXPECT_EQ(result.reply, json({{"ok", false}, {"error", "noFrontmostApp"}}));
}

TEST(CaptureDemo, TheBuiltInDemoFillsEveryKey) {
    const harness::Run run = harness::command(
        "capture", harness::readJsonFile(harness::example("reader-demo.json")).dump());
    const json reply = run.reply();
    ASSERT_TRUE(reply.is_object()) << run.out;
    for (const char* key :
         {"app", "focus", "input", "field", "composer", "probe", "conversation"}) {
        EXPECT_FALSE(reply[key].is_null()) << key << " in " << run.out;
    }
    EXPECT_EQ(reply["input"]["kind"], "selection");
    EXPECT_TRUE(reply["conversation"]["rows"].is_array());
    EXPECT_TRUE(reply["conversation"]["me"].is_string());
}

}  // namespace
