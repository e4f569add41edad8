// The insert command as the parent sees it, grouped by phase: checks, targeting failures, caret
// modes, verification outcomes; each with the reply, the saved desktop and the key events.
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

constexpr int editor = 90;
const json userItems =
    json::array({desktopjson::plainText("user clipboard"),
                 json::array({{{"type", "public.png"}, {"base64", "iVBORw0KGgo="}}})});

json fieldWith(const std::string& value, const json& range) {
    return desktopjson::textArea("field", value,
                                 merged({{"AXSelectedTextRange", range}}, frame(5, 5, 100, 20)));
}

// The editor in front with its field focused; a chat behind with a composer in a scroll area.
json desktopWith(const json& field, const json& paste = {{"delayMs", 5}, {"transform", "none"}},
                 const json& editorExtra = json::object()) {
    const json editorWindow = element("window", {{"AXRole", "AXWindow"}}, {{"children", {field}}});
    const json composer = desktopjson::textArea("composer", "", frame(0, 0, 0, 0));
    json chatComposer = composer;
    chatComposer["attributes"] = merged(chatComposer["attributes"], frame(1, 2, 300, 40));
    const json chatWindow =
        element("chat-window", {{"AXRole", "AXWindow"}},
                {{"children",
                  {element("list", {{"AXRole", "AXList"}}),
                   element("scroll", merged({{"AXRole", "AXScrollArea"}}, frame(0, 400, 300, 60)),
                           {{"children", {chatComposer}}})}}});
    return {
        {"frontmost", editor},
        {"layouts", {{"current", "us"}}},
        {"pasteboard", {{"changeCount", 11}, {"items", userItems}}},
        {"apps",
         {app(editor,
              element("root", {{"AXRole", "AXApplication"}}, {{"children", {editorWindow}}}),
              merged({{"focused", field.is_null() ? json(nullptr) : field["id"]}, {"paste", paste}},
                     editorExtra)),
          app(91, element("chat-root", {{"AXRole", "AXApplication"}}, {{"children", {chatWindow}}}),
              {{"focused", "list"},
               {"paste", {{"delayMs", 5}}},
               {"activation", {{"delayMs", 20}}}})}}};
}

json request(const std::string& text, const json& into, const json& more = json::object()) {
    return merged({{"pid", editor}, {"text", text}, {"into", into}}, more);
}

json focusInto(const std::string& mode, const json& element = nullptr) {
    json into = {{"kind", "focus"}, {"mode", mode}};
    if (!element.is_null()) {
        into["element"] = element;
    }
    return into;
}

struct Inserted {
    json reply;
    json saved;
    double elapsedMs = 0;
};

Inserted insertOn(const json& desktopFile, const json& body) {
    harness::Desktop desktop(desktopFile);
    const harness::Run run = desktop.run("insert", body);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.lines(), 1) << run.out;
    return {run.reply(), desktop.read(), run.elapsedMs};
}

json appState(const json& saved, int pid) {
    for (const json& a : saved["apps"]) {
        if (a["pid"] == pid) {
            return a;
        }
    }
    return nullptr;
}

// The saved attributes of the element with this id, wherever it sits in the app's tree.
json attributesOf(const json& saved, int pid, const std::string& id) {
    std::vector<json> pending{appState(saved, pid)["root"]};
    while (!pending.empty()) {
        const json node = pending.back();
        pending.pop_back();
        if (node["id"] == id) {
            return node["attributes"];
        }
        for (const json& child : node.value("children", json::array())) {
            pending.push_back(child);
        }
    }
    return nullptr;
}

json ok(bool activated, const char* verified, bool restored) {
    return {{"ok", true}, {"activated", activated}, {"verified", verified}, {"restored", restored}};
}

// --- checks -------------------------------------------------------------------------------

TEST(InsertChecks, UntrustedDoesNothingElse) {
    json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
    file["trusted"] = false;
    const Inserted result = insertOn(file, request("x", focusInto("replaceSelection")));
    EXPECT_EQ(result.reply, json({{"ok", false}, {"error", "notTrusted"}}));
    EXPECT_TRUE(result.saved["lastRun"]["pasteboard"].empty());
    EXPECT_TRUE(result.saved["lastRun"]["activations"].empty());
}

TEST(InsertChecks, MissingOrTerminatedTargetIsGone) {
    const json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
    EXPECT_EQ(
        insertOn(file, merged(request("x", focusInto("replaceSelection")), {{"pid", 4242}})).reply,
        json({{"ok", false}, {"error", "targetGone"}}));
    json ended = file;
    ended["apps"][0]["terminated"] = true;
    EXPECT_EQ(insertOn(ended, request("x", focusInto("replaceSelection"))).reply,
              json({{"ok", false}, {"error", "targetGone"}}));
}

TEST(InsertChecks, TargetBehindIsActivatedAndWaitedFor) {
    const json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
    const Inserted result =
        insertOn(file, merged(request("hi", focusInto("replaceSelection")), {{"pid", 91}}));
    EXPECT_EQ(result.reply["activated"], true) << result.reply.dump();
    EXPECT_EQ(result.saved["lastRun"]["activations"][0]["options"], 0);
    EXPECT_EQ(result.saved["frontmost"], 91);
}

TEST(InsertChecks, OlderSystemsActivateIgnoringOtherApps) {
    json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
    file["systemVersion"] = "13.6";
    const Inserted result =
        insertOn(file, merged(request("hi", focusInto("replaceSelection")), {{"pid", 91}}));
    EXPECT_EQ(result.saved["lastRun"]["activations"][0]["options"], 2);
}

TEST(InsertChecks, TargetThatNeverComesToTheFrontTimesOutUntouched) {
    json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
    file["apps"][1]["activation"] = nullptr;
    const Inserted result =
        insertOn(file, merged(request("hi", focusInto("replaceSelection")), {{"pid", 91}}));
    EXPECT_EQ(result.reply, json({{"ok", false}, {"error", "focusTimeout"}}));
    EXPECT_EQ(result.saved["pasteboard"]["changeCount"], 11);
}

// Every way of asking is tried in turn, each only when the one before did not bring the target
// to the front; the first asks with the front application as its source.
TEST(InsertChecks, RefusedActivationsFallThroughToTheNextWay) {
    struct Case {
        json refuses;
        bool axFrontmost;
        std::vector<std::string> vias;
        bool arrives;
    };
    const Case cases[] = {
        {json::array(), false, {"fromApplication"}, true},
        {{"fromApplication"}, false, {"fromApplication", ""}, true},
        {{"fromApplication", "withOptions"}, true, {"fromApplication", "", "axFrontmost"}, true},
        {{"fromApplication", "withOptions"}, false, {"fromApplication", ""}, false},
    };
    for (const Case& c : cases) {
        json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
        file["apps"][1]["activation"]["refuses"] = c.refuses;
        if (c.axFrontmost) {
            file["apps"][1]["root"]["settable"] = {"AXFrontmost"};
        }
        const Inserted result =
            insertOn(file, merged(request("hi", focusInto("replaceSelection")), {{"pid", 91}}));
        const json activations = result.saved["lastRun"]["activations"];
        ASSERT_EQ(activations.size(), c.vias.size()) << c.refuses << activations;
        for (std::size_t i = 0; i < c.vias.size(); ++i) {
            EXPECT_EQ(activations[i].value("via", ""), c.vias[i]) << c.refuses;
        }
        EXPECT_EQ(activations[0]["from"], editor);
        EXPECT_EQ(result.reply["ok"], c.arrives) << result.reply.dump();
        EXPECT_EQ(result.saved["frontmost"], c.arrives ? 91 : editor) << c.refuses;
    }
}

// --- the pasteboard is borrowed only when it can be given back ---------------------------------

// A pasteboard whose data cannot be read is never cleared: the command ends before the target,
// its field or a key is touched, and says why.
TEST(InsertPasteboard, OneThatCannotBeGivenBackIsNeverBorrowed) {
    const json lazy = json::array({{{"type", "com.example.lazy"}, {"data", nullptr}}});
    struct Case {
        const char* name;
        json pasteboard;
        const char* detail;
        std::size_t dataReads;
    };
    const Case cases[] = {
        {"no data",
         {{"changeCount", 11}, {"items", json::array({lazy})}},
         "the pasteboard's items yield no data",
         1},
        {"one item without data",
         {{"changeCount", 11}, {"items", json::array({userItems[0], lazy})}},
         "the pasteboard's items yield no data",
         2},
        {"denied",
         {{"changeCount", 11}, {"items", userItems}, {"accessBehavior", "alwaysDeny"}},
         "pasteboard access is denied to this program",
         0},
    };
    for (const Case& c : cases) {
        json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
        file["pasteboard"] = c.pasteboard;
        const Inserted result =
            insertOn(file, merged(request("hi", focusInto("replaceSelection")), {{"pid", 91}}));
        EXPECT_EQ(result.reply,
                  json({{"ok", false}, {"error", "pasteboardUnreadable"}, {"detail", c.detail}}))
            << c.name;
        EXPECT_EQ(result.saved["pasteboard"], c.pasteboard) << c.name;
        EXPECT_EQ(afterrun::records(result.saved, "dataForType").size(), c.dataReads) << c.name;
        EXPECT_TRUE(afterrun::records(result.saved, "clearContents").empty()) << c.name;
        EXPECT_TRUE(result.saved["lastRun"]["events"].empty()) << c.name;
        EXPECT_TRUE(result.saved["lastRun"]["activations"].empty()) << c.name;
        EXPECT_EQ(result.saved["frontmost"], editor) << c.name;
    }
}

// Types that yield nothing are left out of the give-back, and a password manager's concealed
// item is neither read nor given back (its owner clears it by the change count, which the
// borrowing moves); the reply says what was left out.
TEST(InsertPasteboard, UnreadableTypesAndConcealedItemsAreLeftOutAndSaid) {
    const json concealed = json::array({{{"type", "org.nspasteboard.ConcealedType"}, {"text", ""}},
                                        {{"type", "public.utf8-plain-text"}, {"text", "hunter2"}}});
    const json withLazy = json::array({{{"type", "public.utf8-plain-text"}, {"text", "mine"}},
                                       {{"type", "com.example.lazy"}, {"data", nullptr}}});
    json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
    file["pasteboard"]["items"] = json::array({withLazy, concealed});
    const Inserted result = insertOn(file, request("hi", focusInto("replaceSelection")));
    EXPECT_EQ(result.reply, merged(ok(false, "yes", true),
                                   {{"leftOut",
                                     {{"concealedItems", 1},
                                      {"unreadableTypes", json::array({"com.example.lazy"})}}}}));
    EXPECT_EQ(result.saved["pasteboard"]["items"], json::array({desktopjson::plainText("mine")}));
    EXPECT_EQ(afterrun::records(result.saved, "dataForType").size(), 2U);  // mine, lazy
    // The pasted text stays on this Mac; the give-back is an ordinary clear.
    const json clears = afterrun::records(result.saved, "clearContents");
    ASSERT_EQ(clears.size(), 2U);
    EXPECT_EQ(clears[0]["options"], 1);
    EXPECT_FALSE(clears[1].contains("options"));
}

// --- keys that would not arrive -----------------------------------------------------------------

TEST(InsertKeys, KeysThatWouldNotArriveBorrowNothing) {
    struct Case {
        const char* setting;
        json expected;
    };
    const Case cases[] = {
        {"postEventAccess", {{"ok", false}, {"error", "notTrusted"}}},
        {"secureInput",
         {{"ok", false},
          {"error", "secureInput"},
          {"detail", "an application holds secure keyboard input, so Command-V would not arrive"}}},
    };
    for (const Case& c : cases) {
        json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
        file[c.setting] = std::string(c.setting) == "secureInput";
        const Inserted result = insertOn(file, request("hi", focusInto("replaceSelection")));
        EXPECT_EQ(result.reply, c.expected) << c.setting;
        EXPECT_TRUE(afterrun::records(result.saved, "clearContents").empty()) << c.setting;
        EXPECT_TRUE(result.saved["lastRun"]["events"].empty()) << c.setting;
        EXPECT_EQ(attributesOf(result.saved, editor, "field")["AXValue"], "") << c.setting;
    }
}

// Option still held from the parent's hotkey would make Option-Command-V of the chord: the chord
// waits until it is let go, and not longer than 300 ms.
TEST(InsertKeys, HeldModifiersAreWaitedOutBriefly) {
    struct Case {
        json until;
        const char* verified;
        double postedFrom;
    };
    const Case cases[] = {{120, "yes", 120}, {nullptr, "no", 290}};
    for (const Case& c : cases) {
        json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
        file["heldModifiers"] = {{"flags", 0x80000}, {"untilMs", c.until}};
        const Inserted result = insertOn(
            file, request("hi", focusInto("replaceSelection"), {{"verifyTimeoutMs", 100}}));
        EXPECT_EQ(result.reply, ok(false, c.verified, true)) << c.until;
        EXPECT_GE(result.saved["lastRun"]["events"][0]["atMs"].get<double>(), c.postedFrom);
        EXPECT_EQ(result.saved["pasteboard"]["items"], userItems);
    }
}

// Electron and Chromium applications build their tree once asked to.
TEST(InsertChecks, ApplicationThatBuildsItsTreeOnRequestIsAsked) {
    const Inserted result = insertOn(desktopWith(fieldWith("", desktopjson::range(0, 0)),
                                                 {{"delayMs", 5}}, {{"treeOnRequest", true}}),
                                     request("hi", focusInto("replaceSelection")));
    EXPECT_EQ(result.reply, ok(false, "yes", true));
    EXPECT_EQ(attributesOf(result.saved, editor, "field")["AXValue"], "hi");
}

// --- targeting failures ---------------------------------------------------------------------

TEST(InsertTargeting, FailuresComeBeforeThePasteboardIsTouched) {
    const json plain = fieldWith("abc", desktopjson::range(0, 0));
    const json password = element(
        "field",
        merged({{"AXRole", "AXTextField"}, {"AXSubrole", "AXSecureTextField"}}, frame(0, 0, 9, 9)),
        {{"settable", {"AXValue", "AXSelectedTextRange"}}});
    json noFocus = desktopWith(plain);
    noFocus["apps"][0]["focused"] = nullptr;
    json misbehaving = plain;
    misbehaving["settable"] = json::array({"AXValue"});
    struct Case {
        const char* name;
        json file;
        json into;
        json expected;
    };
    const Case cases[] = {
        {"password field",
         desktopWith(password),
         focusInto("replaceSelection", "AXTextField|AXSecureTextField|0,0,9,9"),
         {{"ok", false}, {"error", "focusChanged"}, {"detail", "a password field has focus"}}},
        {"other element",
         desktopWith(plain),
         focusInto("replaceSelection", "AXTextArea||1,1,1,1"),
         {{"ok", false},
          {"error", "focusChanged"},
          {"detail", "expected AXTextArea||1,1,1,1, found AXTextArea||5,5,100,20"}}},
        {"no element, fingerprint",
         noFocus,
         focusInto("replaceField", "AXTextArea||1,1,1,1"),
         {{"ok", false},
          {"error", "focusChanged"},
          {"detail", "expected AXTextArea||1,1,1,1, found no element"}}},
        {"no element, replaceField",
         noFocus,
         focusInto("replaceField"),
         {{"ok", false}, {"error", "selectionUnsettable"}}},
        {"range not settable",
         desktopWith(misbehaving),
         focusInto("afterSelection"),
         {{"ok", false}, {"error", "selectionUnsettable"}}},
        {"no composer",
         desktopWith(plain),
         {{"kind", "composer"}, {"element", "AXTextArea||9,9,9,9"}},
         {{"ok", false},
          {"error", "focusChanged"},
          {"detail", "no composer matches AXTextArea||9,9,9,9"}}},
    };
    for (const Case& c : cases) {
        const Inserted result = insertOn(c.file, request("x", c.into));
        EXPECT_EQ(result.reply, c.expected) << c.name;
        EXPECT_EQ(result.saved["pasteboard"]["changeCount"], 11) << c.name;
        EXPECT_TRUE(result.saved["lastRun"]["events"].empty()) << c.name;
    }
}

TEST(InsertTargeting, ComposerThatKeepsAnotherRangeIsUnsettable) {
    json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
    json& composer = file["apps"][1]["root"]["children"][0]["children"][1]["children"][0];
    composer["attributes"]["AXValue"] = "draft";
    composer["selectionReadBack"] = {0, 0};
    const Inserted result = insertOn(
        file, merged(request("x", {{"kind", "composer"}, {"element", "AXTextArea||0,400,300,60"}}),
                     {{"pid", 91}}));
    EXPECT_EQ(result.reply, json({{"ok", false}, {"error", "selectionUnsettable"}}));
}

TEST(InsertTargeting, ComposerThatRefusesFocus) {
    json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
    file["apps"][1]["root"]["children"][0]["children"][1]["children"][0]["settable"] =
        json::array({"AXValue", "AXSelectedTextRange"});
    const Inserted result = insertOn(
        file, merged(request("x", {{"kind", "composer"}, {"element", "AXTextArea||0,400,300,60"}}),
                     {{"pid", 91}}));
    EXPECT_EQ(result.reply, json({{"ok", false},
                                  {"error", "focusChanged"},
                                  {"detail", "the composer did not take focus"}}));
}

// --- caret modes ------------------------------------------------------------------------------

TEST(InsertCaret, ModesPlaceTheCaretBeforeThePaste) {
    struct Case {
        const char* mode;
        json range;
        const char* expected;
    };
    const Case cases[] = {
        {"replaceSelection", desktopjson::range(6, 5), "hello there"},
        {"replaceField", desktopjson::range(2, 0), "there"},
        {"afterSelection", desktopjson::range(0, 5), "hellothere world"},
    };
    for (const Case& c : cases) {
        const Inserted result = insertOn(desktopWith(fieldWith("hello world", c.range)),
                                         request("there", focusInto(c.mode)));
        EXPECT_EQ(result.reply, ok(false, "yes", true)) << c.mode;
        EXPECT_EQ(attributesOf(result.saved, editor, "field")["AXValue"], c.expected) << c.mode;
        EXPECT_EQ(result.saved["pasteboard"]["items"], userItems) << c.mode;
    }
}

// Every place the helper sets a range or a caret, in text where UTF-16 units and bytes differ
// (é is one unit in two bytes, 😀 two units in four). The fields do not paste, and keep any
// range they are given, even past their end: the saved range is the one the helper set.
TEST(InsertCaret, PositionsCountUtf16UnitsNotBytes) {
    const std::string text = "\xC3\xA9\xF0\x9F\x98\x80 xy";  // é😀 xy: 6 units, 9 bytes
    struct Case {
        const char* name;
        json into;
        json range;     // the field's selection before the insert
        json expected;  // what the helper set
    };
    const Case cases[] = {
        {"replaceField", focusInto("replaceField"), desktopjson::range(0, 0),
         desktopjson::range(0, 6)},
        {"afterSelection", focusInto("afterSelection"), desktopjson::range(1, 3),
         desktopjson::range(4, 0)},
        {"composer",
         {{"kind", "composer"}, {"element", "AXTextArea||0,400,300,60"}},
         desktopjson::range(0, 0),
         desktopjson::range(6, 0)},
    };
    for (const Case& c : cases) {
        json file = desktopWith(fieldWith(text, c.range), nullptr);
        json& composer = file["apps"][1]["root"]["children"][0]["children"][1]["children"][0];
        composer["attributes"]["AXValue"] = text;
        composer["attributes"]["AXSelectedTextRange"] = c.range;
        file["apps"][1]["paste"] = nullptr;
        const bool toComposer = c.into["kind"] == "composer";
        if (toComposer) {
            file["frontmost"] = 91;
        }
        const Inserted result =
            insertOn(file, merged(request("z", c.into, {{"verifyTimeoutMs", 0}, {"settleMs", 0}}),
                                  {{"pid", toComposer ? 91 : editor}}));
        EXPECT_EQ(result.reply["ok"], true) << c.name << result.reply.dump();
        EXPECT_EQ(attributesOf(result.saved, toComposer ? 91 : editor,
                               toComposer ? "composer" : "field")["AXSelectedTextRange"],
                  c.expected)
            << c.name;
    }
}

TEST(InsertCaret, ReplaceFieldCountsCharactersWhenTheValueIsUnreadable) {
    json field = fieldWith("ignored", desktopjson::range(0, 0));
    field["attributes"]["AXValue"] = {{"error", "cannotComplete"}};
    field["attributes"]["AXNumberOfCharacters"] = 12;
    const Inserted result = insertOn(desktopWith(field), request("x", focusInto("replaceField")));
    EXPECT_EQ(attributesOf(result.saved, editor, "field")["AXSelectedTextRange"],
              desktopjson::range(1, 0));  // (0, 12) selected, then the paste put the caret after x
    EXPECT_EQ(result.reply["verified"], "unknown");
}

TEST(InsertCaret, ComposerGetsTheTextOnALineOfItsOwn) {
    struct Case {
        const char* draft;
        const char* expected;
    };
    const Case cases[] = {
        {"", "hi"},
        {"  \n", "hi  \n"},  // blank: the caret stays where it was
        {"hello", "hello\nhi"},
        {"hello\r\n", "hello\r\nhi"},
        {"hello \xF0\x9F\x98\x80", "hello \xF0\x9F\x98\x80\nhi"},
    };
    for (const Case& c : cases) {
        json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
        file["frontmost"] = 91;
        json& composer = file["apps"][1]["root"]["children"][0]["children"][1]["children"][0];
        composer["attributes"]["AXValue"] = c.draft;
        composer["attributes"]["AXSelectedTextRange"] = desktopjson::range(0, 0);
        const Inserted result = insertOn(
            file,
            merged(request("hi", {{"kind", "composer"}, {"element", "AXTextArea||0,400,300,60"}}),
                   {{"pid", 91}}));
        EXPECT_EQ(result.reply, ok(false, "yes", true)) << c.draft;
        EXPECT_EQ(attributesOf(result.saved, 91, "composer")["AXValue"], c.expected) << c.draft;
        EXPECT_EQ(appState(result.saved, 91)["focused"], "composer");
    }
}

// --- verification -----------------------------------------------------------------------------

TEST(InsertVerify, FieldsThatReshapeWhiteSpaceOrDecomposeStillVerify) {
    struct Case {
        const char* transform;
        const char* text;
        const char* verified;
    };
    const Case cases[] = {
        {"none", "plain", "yes"},        {"newlinesToSpaces", "two\nlines\r\nhere", "yes"},
        {"trim", "  padded  \n", "yes"}, {"nfd", "caf\xC3\xA9 na\xC3\xAFve", "yes"},
        {"upper", "Quiet", "no"},
    };
    for (const Case& c : cases) {
        const Inserted result =
            insertOn(desktopWith(fieldWith("", desktopjson::range(0, 0)),
                                 {{"delayMs", 5}, {"transform", c.transform}}),
                     request(c.text, focusInto("replaceSelection"), {{"verifyTimeoutMs", 300}}));
        EXPECT_EQ(result.reply, ok(false, c.verified, true)) << c.transform;
        const json events = result.saved["lastRun"]["events"];
        ASSERT_EQ(events.size(), 2U);
        EXPECT_EQ(events[0],
                  merged(events[0], {{"type", "keyDown"}, {"keyCode", 9}, {"flags", 0x100000}}));
    }
}

// The comparisons inside the wait are the verdict's: a value that is the one from before in
// another canonical spelling has not changed, and a paste reshaped by the field has landed.
TEST(InsertVerify, TheWaitComparesCanonicallyAndWithWhiteSpaceCollapsed) {
    // The field respells its value in NFC as Command-V arrives; the paste itself comes 300 ms
    // later. Taking the respelling for the paste would give the pasteboard back too soon, and the
    // field would paste the user's own clipboard.
    json respelling =
        desktopWith(fieldWith("a cafe\u0301 b", desktopjson::range(9, 0)), {{"delayMs", 300}});
    respelling["timeline"] = {{{"after", "commandV"},
                               {"delayMs", 0},
                               {"set",
                                {{"pid", editor},
                                 {"element", "field"},
                                 {"attributes", {{"AXValue", "a caf\u00E9 b"}}}}}}};
    Inserted result = insertOn(respelling, request("caf\u00E9", focusInto("replaceSelection"),
                                                   {{"verifyTimeoutMs", 3000}}));
    EXPECT_EQ(result.reply, ok(false, "yes", true));
    const std::string value = attributesOf(result.saved, editor, "field")["AXValue"];
    EXPECT_EQ(value.find("user clipboard"), std::string::npos) << value;

    // Runs of line breaks shown as runs of spaces: seen at once, not after the time-out.
    result = insertOn(desktopWith(fieldWith("", desktopjson::range(0, 0)),
                                  {{"delayMs", 5}, {"transform", "newlinesToSpaces"}}),
                      request("two\n\n\nlines\r\n\r\nhere", focusInto("replaceSelection"),
                              {{"verifyTimeoutMs", 5000}}));
    EXPECT_EQ(result.reply, ok(false, "yes", true));
    EXPECT_LT(result.elapsedMs, 4000);
}

TEST(InsertVerify, PasteThatNeverShowsIsNo) {
    const Inserted result =
        insertOn(desktopWith(fieldWith("", desktopjson::range(0, 0)), nullptr),
                 request("lost", focusInto("replaceSelection"), {{"verifyTimeoutMs", 200}}));
    EXPECT_EQ(result.reply, ok(false, "no", true));
    EXPECT_GE(result.elapsedMs, 190);
    EXPECT_EQ(result.saved["pasteboard"]["items"], userItems);
}

TEST(InsertVerify, TextAlreadyThereWaitsOutTheTimeOutThenSaysYes) {
    const Inserted result =
        insertOn(desktopWith(fieldWith("has it", desktopjson::range(0, 0)), nullptr),
                 request("it", focusInto("replaceSelection"), {{"verifyTimeoutMs", 200}}));
    EXPECT_EQ(result.reply, ok(false, "yes", true));
    EXPECT_GE(result.elapsedMs, 190);
}

TEST(InsertVerify, BlindPasteSettlesAndIsUnknown) {
    json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
    file["apps"][0]["focused"] = nullptr;
    const Inserted result =
        insertOn(file, request("blind", focusInto("replaceSelection"), {{"settleMs", 120}}));
    EXPECT_EQ(result.reply, ok(false, "unknown", true));
    EXPECT_GE(result.elapsedMs, 110);
}

TEST(InsertVerify, SomebodyElsesWriteEndsTheSettleWaitAndWins) {
    const json theirs = json::array({desktopjson::plainText("theirs")});
    json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
    file["apps"][0]["focused"] = nullptr;
    file["timeline"] = {
        {{"after", "commandV"}, {"delayMs", 20}, {"pasteboard", {{"items", theirs}}}}};
    const Inserted result =
        insertOn(file, request("blind", focusInto("replaceSelection"), {{"settleMs", 5000}}));
    EXPECT_EQ(result.reply, ok(false, "unknown", false));
    EXPECT_LT(result.elapsedMs, 4000);
    EXPECT_EQ(result.saved["pasteboard"]["items"], theirs);
}

// Until the text has been seen the pasteboard stays borrowed: given back before a slow target
// pasted, the target would paste the user's own items instead.
TEST(InsertVerify, WithoutSeeingTheTextTheTextStaysForTheSettleWait) {
    struct Case {
        const char* name;
        json more;
        json timeline;
    };
    const Case cases[] = {
        {"no time to watch", {{"verifyTimeoutMs", 0}, {"settleMs", 2000}}, json::array()},
        {"the value stops being readable",
         {{"verifyTimeoutMs", 2000}, {"settleMs", 400}},
         {{{"after", "commandV"},
           {"delayMs", 0},
           {"set",
            {{"pid", editor},
             {"element", "field"},
             {"attributes", {{"AXValue", {{"error", "cannotComplete"}}}}}}}}}},
    };
    for (const Case& c : cases) {
        json file = desktopWith(fieldWith("", desktopjson::range(0, 0)), {{"delayMs", 100}});
        file["timeline"] = c.timeline;
        const Inserted result =
            insertOn(file, request("slow paste", focusInto("replaceSelection"), c.more));
        EXPECT_EQ(result.reply, ok(false, "yes", true)) << c.name;
        EXPECT_EQ(attributesOf(result.saved, editor, "field")["AXValue"], "slow paste") << c.name;
        EXPECT_EQ(result.saved["pasteboard"]["items"], userItems) << c.name;
        EXPECT_EQ(afterrun::reactions(result.saved, "paste")[0]["afterExit"], false) << c.name;
    }
}

// --- the pasteboard while borrowed -----------------------------------------------------------

TEST(InsertPasteboard, TextGoesOnAsOneMarkedItemAndTheUserItemsComeBackUnmarked) {
    const Inserted result = insertOn(desktopWith(fieldWith("", desktopjson::range(0, 0))),
                                     request("marked", focusInto("replaceSelection")));
    EXPECT_EQ(result.reply, ok(false, "yes", true));
    const json writes = afterrun::records(result.saved, "writeObjects");
    ASSERT_EQ(writes.size(), 2U);
    EXPECT_EQ(writes[0]["types"], json({{"public.utf8-plain-text", "org.nspasteboard.TransientType",
                                         "org.nspasteboard.AutoGeneratedType"}}));
    EXPECT_LE(writes[0]["atMs"], result.saved["lastRun"]["events"][0]["atMs"]);
    EXPECT_EQ(writes[1]["types"], json({{"public.utf8-plain-text"}, {"public.png"}}));
    EXPECT_TRUE(afterrun::records(result.saved, "setString").empty());
    EXPECT_EQ(afterrun::records(result.saved, "clearContents").size(), 2U);
    EXPECT_EQ(result.saved["pasteboard"]["items"], userItems);
}

// A large text arrives whole, with and without escapes in the request (the reader takes an
// unescaped one straight from the request's bytes), and the user's items come back.
TEST(InsertPasteboard, ALargeTextArrivesWholeWhateverItsEscapes) {
    std::string plain;
    std::string escaped;
    while (plain.size() < 3'000'000) {
        plain += "caf\u00e9 \U0001F600 ";
        escaped += "say \"hi\"\t\\ caf\u00e9\n";
    }
    // Time for a sanitizer build on a loaded machine: the default deadline of 4 s passed there
    // before the text was on the pasteboard. The wait ends as soon as the text shows.
    const json patient = {{"deadlineMs", 60000}, {"verifyTimeoutMs", 30000}};
    for (const std::string& text : {plain, escaped}) {
        const Inserted result = insertOn(desktopWith(fieldWith("", desktopjson::range(0, 0))),
                                         request(text, focusInto("replaceSelection"), patient));
        EXPECT_EQ(result.reply, ok(false, "yes", true));
        EXPECT_TRUE(attributesOf(result.saved, editor, "field")["AXValue"] == text);
        EXPECT_EQ(result.saved["pasteboard"]["items"], userItems);
    }
}

TEST(InsertPasteboard, WriteBySomebodyElseDuringTheHelpersWriteIsLeftAlone) {
    // The helper's write takes 150 ms to land; another program writes right after its clear.
    const json theirs = json::array({desktopjson::plainText("copied by somebody else")});
    json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
    file["pasteboard"]["writeLatencyMs"] = 150;
    file["timeline"] = {
        {{"after", "pasteboardWrite"}, {"delayMs", 0}, {"pasteboard", {{"items", theirs}}}}};
    const Inserted result = insertOn(file, request("mine", focusInto("replaceSelection")));
    EXPECT_EQ(result.reply,
              json({{"ok", false},
                    {"error", "internal"},
                    {"detail", "the pasteboard changed while the text was written"}}));
    EXPECT_EQ(result.saved["pasteboard"]["items"], theirs);
    EXPECT_TRUE(result.saved["lastRun"]["events"].empty());  // no Command-V
    EXPECT_EQ(afterrun::restores(result.saved), 0);
    EXPECT_EQ(attributesOf(result.saved, editor, "field")["AXValue"], "");
}

// The key of Command-V on each kind of layout, down to the fallback when no layout maps v.
TEST(InsertPasteboard, CommandVIsPressedWithTheKeyTheLayoutGivesIt) {
    struct Case {
        json layouts;
        int keyCode;
        const char* verified;
    };
    const json noV = {{"keys", {{"0", "a"}}}};
    const Case cases[] = {
        {{{"current", "us"}}, 9, "yes"},
        {{{"current", "dvorak"}}, 47, "yes"},
        {{{"current", "dvorak-qwerty"}}, 9, "yes"},
        {{{"current", noV}, {"asciiCapable", "dvorak"}}, 47, "no"},  // read through current
        {{{"current", noV}, {"asciiCapable", noV}}, 9, "no"},        // the fallback
        {{{"current", nullptr}}, 9, "yes"},  // no layout data: the fallback, read as US
    };
    for (const Case& c : cases) {
        json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
        file["layouts"] = c.layouts;
        const Inserted result = insertOn(
            file, request("typed", focusInto("replaceSelection"), {{"verifyTimeoutMs", 100}}));
        EXPECT_EQ(result.reply["verified"], c.verified) << c.layouts;
        EXPECT_EQ(result.saved["lastRun"]["events"][0]["keyCode"], c.keyCode) << c.layouts;
    }
}

// --- a capture followed by an insert on the same desktop ------------------------------------

TEST(InsertChained, CaptureNamesTheTargetAndInsertFindsIt) {
    json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
    file["frontmost"] = 91;
    harness::Desktop desktop(file);
    const json captured = desktop.run("capture", {{"probe", false}}).reply();
    ASSERT_TRUE(captured["composer"].is_object()) << captured.dump();
    const harness::Run inserted = desktop.run(
        "insert", {{"pid", 91},
                   {"text", "from the parent"},
                   {"into", {{"kind", "composer"}, {"element", captured["composer"]["element"]}}}});
    EXPECT_EQ(inserted.reply(), ok(false, "yes", true));
    EXPECT_EQ(attributesOf(desktop.read(), 91, "composer")["AXValue"], "from the parent");

    file = desktopWith(fieldWith("x", desktopjson::range(1, 0)));
    desktop.write(file);
    const json focus = desktop.run("capture", {{"probe", false}}).reply()["focus"];
    const harness::Run again = desktop.run(
        "insert",
        {{"pid", editor},
         {"text", "y"},
         {"into", {{"kind", "focus"}, {"mode", "afterSelection"}, {"element", focus["element"]}}}});
    EXPECT_EQ(again.reply(), ok(false, "yes", true));
}

// --- what only a slow target shows -----------------------------------------------------------

// A paste slower than verifyTimeoutMs into a value that stops being readable at Command-V: the
// unreadable value ends the watch at once, and the text stays on the pasteboard for settleMs,
// not for verifyTimeoutMs, so that the target pastes it and not the user's items.
TEST(InsertSlowTarget, APasteSlowerThanTheWatchIntoAnUnreadableValueStillGetsTheText) {
    json file = desktopWith(fieldWith("", desktopjson::range(0, 0)), {{"delayMs", 500}});
    file["timeline"] = {{{"after", "commandV"},
                         {"delayMs", 0},
                         {"set",
                          {{"pid", editor},
                           {"element", "field"},
                           {"attributes", {{"AXValue", {{"error", "cannotComplete"}}}}}}}}};
    const Inserted result = insertOn(file, request("slow paste", focusInto("replaceSelection"),
                                                   {{"verifyTimeoutMs", 250}, {"settleMs", 1200}}));
    EXPECT_EQ(result.reply, ok(false, "yes", true));
    EXPECT_EQ(attributesOf(result.saved, editor, "field")["AXValue"], "slow paste");
    EXPECT_EQ(result.saved["pasteboard"]["items"], userItems);
    EXPECT_EQ(afterrun::reactions(result.saved, "paste")[0]["afterExit"], false);
}

// A composer draft of white space only, without a line break at its end, gets neither the line
// feed before the text nor the caret at its end; the composer pastes after the watch has seen
// the draft unchanged a while.
TEST(InsertSlowTarget, ABlankDraftGetsTheTextWithoutALineBreak) {
    struct Case {
        const char* draft;
        json range;
        const char* expected;
    };
    const Case cases[] = {
        {"  ", desktopjson::range(1, 0), " hi "},
        {"\t\u00A0", desktopjson::range(0, 0), "hi\t\u00A0"},
        {"\u3000", desktopjson::range(1, 0), "\u3000hi"},
    };
    for (const Case& c : cases) {
        json file = desktopWith(fieldWith("", desktopjson::range(0, 0)));
        file["frontmost"] = 91;
        file["apps"][1]["paste"] = {{"delayMs", 150}};
        json& composer = file["apps"][1]["root"]["children"][0]["children"][1]["children"][0];
        composer["attributes"]["AXValue"] = c.draft;
        composer["attributes"]["AXSelectedTextRange"] = c.range;
        const Inserted result = insertOn(
            file,
            merged(request("hi", {{"kind", "composer"}, {"element", "AXTextArea||0,400,300,60"}},
                           {{"verifyTimeoutMs", 2000}}),
                   {{"pid", 91}}));
        EXPECT_EQ(result.reply, ok(false, "yes", true)) << c.draft;
        EXPECT_EQ(attributesOf(result.saved, 91, "composer")["AXValue"], c.expected) << c.draft;
    }
}

}  // namespace
