// capture against a real GTK application through AT-SPI, run as the parent runs the helper.
#include <algorithm>
#include <regex>
#include <signal.h>
#include <sstream>

#include <gtest/gtest.h>

#include "desktop.h"
#include "process/harness.h"
#include "run.h"

namespace {

using nlohmann::json;

const std::string testAppId = "org.larkspin.TestApp";

json readerRequest(int maxChars) {
    return {{"probe", false},
            {"maxChars", maxChars},
            {"conversation",
             {{"budgetMs", 2000},
              {"readers",
               {{testAppId,
                 {{"list", json::array({{{"role", "AXList"}}})},
                  {"rows", 3},
                  {"depth", 3},
                  {"skipClasses", json::array()},
                  {"trustsAxSelection", true}}}}}}}};
}

using linuxdesktop::runHelper;

// A capture while the application is stopped (SIGSTOP), with the given deadline.
harness::Run captureWhileStopped(const linuxdesktop::Desktop& desktop, int deadlineMs) {
    EXPECT_EQ(kill(desktop.appPid(), SIGSTOP), 0);
    json request = readerRequest(1000);
    request["deadlineMs"] = deadlineMs;
    const harness::Run run = runHelper(desktop, "capture", request);
    kill(desktop.appPid(), SIGCONT);
    return run;
}

json capture(const linuxdesktop::Desktop& desktop, int maxChars = 1000) {
    return linuxdesktop::capture(desktop, readerRequest(maxChars));
}

// "AXTextField||x,y,w,h" with four integers.
void expectFingerprint(const json& element, const std::string& roleAndSubrole) {
    ASSERT_TRUE(element.is_string());
    EXPECT_TRUE(std::regex_match(element.get<std::string>(),
                                 std::regex(roleAndSubrole + "\\|-?\\d+,-?\\d+,\\d+,\\d+")))
        << element;
}

// Every "value" in the dumped rows, in order.
void collectValues(const json& node, std::vector<std::string>& into) {
    if (node.is_object() && node.contains("value") && node["value"].is_string()) {
        into.push_back(node["value"]);
    }
    if (node.is_object() && node.contains("children")) {
        for (const json& child : node["children"]) {
            collectValues(child, into);
        }
    }
}

// The toolkit's own rectangle from the application's ready line, as the reply gives anchors.
json toolkitBounds(const linuxdesktop::Desktop& desktop) {
    std::istringstream words(desktop.readyLine());
    std::string ready;
    double x = 0, y = 0, w = 0, h = 0;
    words >> ready >> x >> y >> w >> h;
    EXPECT_TRUE(words) << desktop.readyLine();
    return {{"x", x}, {"y", y}, {"w", w}, {"h", h}};
}

bool anyLineHas(const std::vector<std::string>& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(part) != std::string::npos;
    });
}

TEST(LinuxCapture, FocusedSingleLineField) {
    const linuxdesktop::Desktop desktop("entry");
    const json reply = capture(desktop);
    EXPECT_EQ(reply["app"]["bundleId"], testAppId);
    EXPECT_EQ(reply["app"]["pid"], desktop.appPid());
    EXPECT_EQ(reply["focus"]["role"], "AXTextField");
    EXPECT_EQ(reply["focus"]["editable"], true);
    expectFingerprint(reply["focus"]["element"], "AXTextField\\|");
    EXPECT_EQ(reply["field"], "single line \u00e9\U0001F600 text");
    EXPECT_EQ(reply["input"]["kind"], "field");
    // The caret, at the end (19 characters, 20 UTF-16 units in, after the emoji): where the
    // toolkit draws it, so the offset went out and came back in the right units.
    const json& anchor = reply["focus"]["anchor"];
    ASSERT_TRUE(anchor.is_object()) << reply;
    EXPECT_EQ(anchor, toolkitBounds(desktop));
    EXPECT_EQ(anchor["w"], 0.0);
    EXPECT_GT(anchor["h"].get<double>(), 0.0);
}

TEST(LinuxCapture, ALargeDocumentIsFetchedOnce) {
    // 5 MB with characters outside the BMP throughout, the caret at its end: the value, the
    // caret's offset and its bounds all need the text up to the end, which comes over the bus
    // once; the anchor is where GTK draws the caret.
    const linuxdesktop::Desktop desktop("large");
    const json reply = capture(desktop);
    EXPECT_EQ(reply["focus"]["role"], "AXTextArea");
    EXPECT_EQ(reply["input"]["truncated"], true);
    EXPECT_EQ(reply["focus"]["anchor"], toolkitBounds(desktop)) << reply["focus"];
    // The field's own calls (the conversation reads the rows' texts besides).
    const std::string path = [&] {
        for (const std::string& line : desktop.trace()) {
            if (line.find(" CaretOffset ") != std::string::npos) {
                std::istringstream words(line);
                std::string call, bus, object;
                words >> call >> bus >> object;
                return object;
            }
        }
        return std::string("?");
    }();
    std::vector<std::string> fetches;
    for (const std::string& line : desktop.trace()) {
        if (line.find("Text.GetText ") != std::string::npos &&
            line.find(" " + path + " ") != std::string::npos) {
            fetches.push_back(line);
        }
    }
    EXPECT_EQ(fetches.size(), 1u) << path;
}

TEST(LinuxCapture, FindsTheAccessibilityBusWithoutASessionBus) {
    // The launcher also publishes the bus on the X root window; without a session address the
    // helper must not start a session bus of its own either.
    const linuxdesktop::Desktop desktop("entry");
    const harness::Run run =
        runHelper(desktop, "capture", readerRequest(1000), {{"DBUS_SESSION_BUS_ADDRESS", ""}});
    ASSERT_EQ(run.lines(), 1) << run.out << run.err;
    EXPECT_EQ(run.reply()["field"], "single line \u00e9\U0001F600 text");
}

TEST(LinuxCapture, MultiLineFieldIsAnchoredToItsScrollArea) {
    const linuxdesktop::Desktop desktop("view");
    const json reply = capture(desktop);
    EXPECT_EQ(reply["focus"]["role"], "AXTextArea");
    EXPECT_EQ(reply["field"], "first line\nsecond line with caf\u00e9");
    // The text view fills its scroll pane, which is 500 wide at least (its size request).
    const std::string element = reply["focus"]["element"];
    const std::smatch parts = [&] {
        std::smatch m;
        std::regex_match(element, m, std::regex("AXTextArea\\|\\|(-?\\d+),(-?\\d+),(\\d+),(\\d+)"));
        return m;
    }();
    ASSERT_EQ(parts.size(), 5u) << element;
    EXPECT_GE(std::stoi(parts[3]), 500);
    EXPECT_GE(std::stoi(parts[4]), 120);
}

TEST(LinuxCapture, FieldAndSelectionAreClippedInUtf16Units) {
    // "single line " is 12 units, "é" one, the emoji two: 14 would split the emoji.
    {
        const linuxdesktop::Desktop desktop("entry");
        const json reply = capture(desktop, 14);
        EXPECT_EQ(reply["field"], "single line \u00e9");
        EXPECT_EQ(reply["input"]["truncated"], true);
    }
    const linuxdesktop::Desktop desktop("selection");
    const json whole = capture(desktop);
    EXPECT_EQ(whole["input"]["kind"], "selection");
    EXPECT_EQ(whole["input"]["via"], "ax");
    EXPECT_EQ(whole["input"]["text"], "\u00e9\U0001F600 t");
    EXPECT_EQ(whole["input"]["truncated"], false);
    // The selection's bounds are the toolkit's for characters 12 to 16, which are units 12 to 17.
    EXPECT_EQ(whole["focus"]["anchor"], toolkitBounds(desktop));
    EXPECT_GT(whole["focus"]["anchor"]["w"].get<double>(), 0.0);
    const json three = capture(desktop, 3);
    EXPECT_EQ(three["input"]["text"], "\u00e9\U0001F600");
    EXPECT_EQ(three["input"]["truncated"], true);
    const json two = capture(desktop, 2);
    EXPECT_EQ(two["input"]["text"], "\u00e9");
}

TEST(LinuxCapture, PasswordFieldIsNeverRead) {
    const linuxdesktop::Desktop desktop("password");
    const harness::Run run = runHelper(desktop, "capture", readerRequest(1000));
    const json reply = run.reply();
    EXPECT_EQ(reply["focus"]["role"], "AXSecureTextField");
    EXPECT_TRUE(reply["field"].is_null());
    EXPECT_TRUE(reply["focus"]["anchor"].is_null());
    EXPECT_EQ(reply["input"]["kind"], "none");
    EXPECT_EQ(run.out.find("hunter2"), std::string::npos);
    // Not a single call of the Text interface: no text, no length, no caret, no selection.
    const auto calls = desktop.trace();
    EXPECT_FALSE(calls.empty());
    EXPECT_FALSE(anyLineHas(calls, "org.a11y.atspi.Text")) << calls.size() << " calls";
}

TEST(LinuxCapture, ComposerAndConversationRows) {
    const linuxdesktop::Desktop desktop("button");
    const json reply = linuxdesktop::captureNamingAComposer(desktop, readerRequest(1000));
    EXPECT_EQ(reply["focus"]["role"], "AXButton");
    ASSERT_TRUE(reply["composer"].is_object()) << reply;
    EXPECT_EQ(reply["composer"]["label"], "Message");
    expectFingerprint(reply["composer"]["element"], "AXTextField\\|");
    const json& rows = reply["conversation"]["rows"];
    ASSERT_EQ(rows.size(), 3u) << reply["conversation"];
    std::vector<std::string> values;
    for (const json& row : rows) {
        collectValues(row, values);
    }
    for (const char* expected : {"Ada", "Grace", "the release build is green",
                                 "caf\u00e9 at ten? \U0001F600", "Ship it?"}) {
        EXPECT_NE(std::find(values.begin(), values.end(), expected), values.end()) << expected;
    }
}

TEST(LinuxCapture, AFieldIsLabelledByTheLabelRelatedToIt) {
    const linuxdesktop::Desktop desktop("labelled");
    const json reply = capture(desktop);
    EXPECT_EQ(reply["focus"]["role"], "AXTextField") << reply;
    EXPECT_EQ(reply["conversation"]["focusLabel"], "Recipient") << reply;
}

TEST(LinuxCapture, OnWaylandTheFrontApplicationIsTheOneWithTheActiveWindow) {
    // A native Wayland window is nothing to X11: the helper, with no DISPLAY either, finds the
    // application by the window AT-SPI reports ACTIVE.
    linuxdesktop::App app = linuxdesktop::gtk3App("entry");
    app.wayland = true;
    const linuxdesktop::Desktop desktop(app);
    const harness::Run run = runHelper(desktop, "capture", readerRequest(1000), {{"DISPLAY", ""}});
    ASSERT_EQ(run.lines(), 1) << run.out << run.err;
    const json reply = run.reply();
    EXPECT_EQ(reply["ok"], true) << reply;
    EXPECT_EQ(reply["app"]["pid"], desktop.appPid());
    EXPECT_EQ(reply["focus"]["role"], "AXTextField") << reply;
    EXPECT_EQ(reply["field"], "single line \u00e9\U0001F600 text");
}

TEST(LinuxCapture, StoppedApplicationCostsOneTimeOutPerRead) {
    const linuxdesktop::Desktop desktop("entry");
    const harness::Run run = captureWhileStopped(desktop, 30000);
    ASSERT_EQ(run.lines(), 1) << run.out << run.err;
    const json reply = run.reply();
    // Every read of the stopped application gave up after the core's half second, so the
    // capture ends by itself, long before its deadline, with what it could learn elsewhere.
    EXPECT_EQ(reply["ok"], true) << reply;
    EXPECT_TRUE(reply["focus"].is_null()) << reply;
    EXPECT_EQ(reply["app"]["pid"], desktop.appPid());
    // Generous: a few half-second time-outs here (about 1.5 s); one read waiting AX's default
    // of 6 s or the bus's 25 s would not pass it.
    EXPECT_LT(run.elapsedMs, 8000);
}

TEST(LinuxCapture, AnApplicationOffTheBusIsAnsweredAtOnce) {
    // GTK without its bridge never joins the accessibility bus, as xterm never does: there is
    // no focus to wait for, and the registry is asked once or twice, not every 10 ms for 500 ms.
    linuxdesktop::App app = linuxdesktop::gtk3App("entry");
    app.env = {{"NO_AT_BRIDGE", "1"}};
    const linuxdesktop::Desktop desktop(app);
    const json reply = capture(desktop);
    EXPECT_TRUE(reply["focus"].is_null()) << reply;
    EXPECT_EQ(reply["app"]["pid"], desktop.appPid());
    const auto calls = desktop.trace();
    const auto registry = std::count_if(calls.begin(), calls.end(), [](const std::string& line) {
        return line.find("GetChildren org.a11y.atspi.Registry") != std::string::npos;
    });
    EXPECT_LT(registry, 6) << calls.size() << " calls";
}

TEST(LinuxCapture, StoppedApplicationAndAShortDeadline) {
    const linuxdesktop::Desktop desktop("entry");
    const harness::Run run = captureWhileStopped(desktop, 700);
    ASSERT_EQ(run.lines(), 1) << run.out << run.err;
    EXPECT_EQ(run.reply()["error"], "timedOut");
}

// A fingerprint's frame depends on the fonts and theme installed: role and subrole stay.
json withoutFrames(json value) {
    if (value.is_string()) {
        const std::string text = value;
        const std::regex frame("^(AX[A-Za-z]*\\|[A-Za-z]*\\|)-?\\d+,-?\\d+,\\d+,\\d+$");
        return std::regex_replace(text, frame, "$1frame");
    }
    if (value.is_structured()) {  // iterating a number or null would give the value itself
        for (auto& member : value) {
            member = withoutFrames(member);
        }
    }
    return value;
}

// What differs between any two runs, and the caret, which the simulated window gives as its
// frame; the frames are compared in the tests of the fields themselves.
json comparable(json reply) {
    reply = withoutFrames(std::move(reply));
    reply["app"].erase("pid");
    reply["focus"].erase("anchor");
    if (reply["conversation"].is_object()) {
        reply["conversation"].erase("ms");
    }
    return reply;
}

// The same window, built by hand on the simulated desktop (tests/linux/gtk-window.json), gives
// the same capture: the backend answers every attribute as the core expects it answered.
TEST(LinuxCapture, SameReplyAsTheSameWindowOnTheSimulatedDesktop) {
    const std::pair<const char*, const char*> focuses[] = {
        {"entry", "entry"}, {"view", "view"}, {"password", "password"}, {"button", "send"}};
    for (const auto& [focus, id] : focuses) {
        SCOPED_TRACE(focus);
        json window = harness::readJsonFile(LARKSPIN_GTK_WINDOW_JSON);
        window["apps"][0]["focused"] = id;
        const harness::Desktop simulated(window);
        const harness::Run expected = simulated.run("capture", readerRequest(1000));
        const linuxdesktop::Desktop desktop(focus);
        EXPECT_EQ(comparable(capture(desktop)).dump(2), comparable(expected.reply()).dump(2));
    }
}

}  // namespace
