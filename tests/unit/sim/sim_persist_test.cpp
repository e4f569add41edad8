// Loading from LARKSPIN_DESKTOP and saving back: the round trip of a changed desktop, what the
// saved file keeps and drops, and the details of desktops that are refused.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <stdlib.h>
#include <unistd.h>

#include "platform/accessibility.h"
#include "platform/pasteboard.h"
#include "platform/process.h"
#include "platform/workspace.h"
#include "sim_support.h"

namespace simtest {
namespace {

using platform::AXError;

struct Unusable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Stands in for the frame's handler, which ends the process; a test gets an exception instead.
void throwUnusable(const std::string& detail) {
    throw Unusable(detail);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class SimPersist : public SimTest {
  protected:
    void SetUp() override {
        static int serial = 0;
        path =
            std::filesystem::temp_directory_path() / ("larkspin-sim-" + std::to_string(::getpid()) +
                                                      "-" + std::to_string(++serial) + ".json");
        platform::sim::reset();
    }
    void TearDown() override {
        platform::sim::reset();
        ::unsetenv("LARKSPIN_DESKTOP");
        platform::onUnusable(nullptr);
        std::filesystem::remove(path);
    }
    void write(const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
        ::setenv("LARKSPIN_DESKTOP", path.c_str(), 1);
        platform::sim::reset();
    }
    std::filesystem::path path;
};

json richDesktop() {
    json field = element("field",
                         {{"AXRole", "AXTextArea"},
                          {"AXValue", "draft"},
                          {"AXSelectedTextRange", {{"range", {0, 0}}}},
                          {"AXSize", {{"size", {200.5, 40}}}},
                          {"AXRatio", 0.25},
                          {"AXCount", 3},
                          {"AXTitleUIElement", {{"element", "label"}}}},
                         {{"settable", {"AXValue", "AXSelectedTextRange", "AXFocused"}},
                          {"boundsForRange", {{"rect", {1, 2, 3, 4}}}},
                          {"latencyMs", 1}});
    json label = element("label", {{"AXRole", "AXStaticText"}, {"AXValue", "Note"}});
    json window = element("window", {{"AXRole", "AXWindow"}}, {{"children", {label, field}}});
    json root = element("root", {{"AXRole", "AXApplication"}}, {{"children", {window}}});
    return {
        {"systemVersion", "14.4"},
        {"postEventAccess", false},
        {"secureInput", true},
        {"heldModifiers", {{"flags", 0x80000}, {"untilMs", 50}}},
        {"frontmost", 1},
        {"layouts", {{"current", "dvorak"}, {"asciiCapable", {{"keys", {{"8", "c"}}}}}}},
        {"pasteboard",
         {{"changeCount", 3},
          {"items", {{{{"type", platform::plainTextType}, {"text", "user"}}}}},
          {"accessBehavior", "ask"}}},
        {"apps",
         {app(1, root, {{"focused", "label"}, {"paste", {{"delayMs", 5}, {"transform", "trim"}}}}),
          app(2, element("r2", {{"AXRole", "AXApplication"}}),
              {{"activation", {{"delayMs", 0}, {"refuses", {"fromApplication"}}}},
               {"copy", nullptr},
               {"treeOnRequest", true},
               {"primarySelection", "selected"}}),
          app(3, element("r3", {{"AXRole", "AXApplication"}}), {{"primarySelection", nullptr}})}},
        {"timeline",
         {{{"atMs", 0}, {"focus", {{"pid", 1}, {"element", "field"}}}},
          {{"atMs", 600000}, {"signal", "TERM"}},
          {{"after", "commandC"}, {"delayMs", 5}, {"frontmost", 2}}}}};
}

TEST_F(SimPersist, ChangedStateSurvivesASaveAndReload) {
    write(richDesktop().dump());
    const auto field = *platform::sim::elementById(1, "field");
    platform::sim::settle(500ms);  // the focus event at 0 ms
    ASSERT_EQ(platform::setAttributeValue(field, "AXValue", platform::Value{std::string("edited")}),
              AXError::success);
    ASSERT_EQ(platform::setAttributeValue(field, "AXSelectedTextRange", range(2, 3)),
              AXError::success);
    const auto board = platform::generalPasteboard();
    platform::clearContents(board);
    const auto item = platform::newPasteboardItem();
    platform::setData(item, "\x89PNG", "public.png");
    platform::setData(item, {'h', 'i'}, platform::plainTextType);
    platform::writeObjects(board, {item});
    platform::activateWithOptions(*platform::runningApplicationWithProcessIdentifier(2), 0);
    platform::sim::settle(500ms);
    platform::beforeExit();

    const json saved = json::parse(readFile(path));
    EXPECT_FALSE(std::filesystem::exists(path.string() + ".tmp." + std::to_string(::getpid())));
    EXPECT_EQ(saved["frontmost"], 2);
    EXPECT_FALSE(saved.contains("focusedApplication"));  // it follows frontmost
    EXPECT_EQ(saved["pasteboard"]["changeCount"], 4);
    EXPECT_EQ(saved["pasteboard"]["items"][0][0]["base64"], "iVBORw==");
    EXPECT_EQ(saved["pasteboard"]["items"][0][1]["text"], "hi");
    EXPECT_EQ(saved["apps"][0]["focused"], "field");
    // Fired events are gone; the far-off one and the untriggered one stay.
    ASSERT_EQ(saved["timeline"].size(), 2u);
    EXPECT_EQ(saved["timeline"][0]["signal"], "TERM");
    EXPECT_EQ(saved["timeline"][1]["after"], "commandC");
    EXPECT_FALSE(saved["lastRun"]["calls"].empty());
    EXPECT_EQ(saved["lastRun"]["activations"][0]["pid"], 2);
    // Settings written only where they differ from the default are written here.
    const json given = richDesktop();
    for (const char* key : {"postEventAccess", "secureInput", "heldModifiers"}) {
        EXPECT_EQ(saved[key], given[key]) << key;
    }
    EXPECT_EQ(saved["pasteboard"]["accessBehavior"], "ask");
    EXPECT_EQ(saved["apps"][1]["activation"], given["apps"][1]["activation"]);
    EXPECT_EQ(saved["apps"][1]["treeOnRequest"], true);
    EXPECT_EQ(saved["apps"][1]["primarySelection"], "selected");
    EXPECT_TRUE(saved["apps"][2].contains("primarySelection"));
    EXPECT_TRUE(saved["apps"][2]["primarySelection"].is_null());
    EXPECT_FALSE(saved["apps"][0].contains("primarySelection"));

    platform::sim::reset();
    const json reloaded = platform::sim::state();
    json expected = saved;
    expected.erase("lastRun");
    json actual = reloaded;
    EXPECT_TRUE(actual["lastRun"]["calls"].empty());
    actual.erase("lastRun");
    EXPECT_EQ(actual, expected);
    // The values come back with their types.
    const auto again = *platform::sim::elementById(1, "field");
    EXPECT_EQ(text(platform::copyAttributeValue(again, "AXValue")), "edited");
    const auto ratio = platform::copyAttributeValue(again, "AXRatio");
    EXPECT_EQ(std::get<double>(std::get<platform::Number>(ratio.value->data).value), 0.25);
    const auto count = platform::copyAttributeValue(again, "AXCount");
    EXPECT_EQ(std::get<std::int64_t>(std::get<platform::Number>(count.value->data).value), 3);
    EXPECT_EQ(idOfValue(platform::copyAttributeValue(again, "AXTitleUIElement")), "label");
}

TEST_F(SimPersist, NothingIsSavedBeforeALoadOrForTheDemo) {
    ::setenv("LARKSPIN_DESKTOP", path.c_str(), 1);
    platform::sim::reset();
    platform::beforeExit();  // must not load: the file does not even exist
    EXPECT_FALSE(std::filesystem::exists(path));

    ::unsetenv("LARKSPIN_DESKTOP");
    platform::sim::reset();
    EXPECT_TRUE(platform::isProcessTrusted());
    platform::beforeExit();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(SimPersist, UnusableFilesAreReportedWithTheirPath) {
    platform::onUnusable(throwUnusable);
    ::setenv("LARKSPIN_DESKTOP", path.c_str(), 1);
    platform::sim::reset();
    try {
        platform::isProcessTrusted();
        FAIL() << "a missing file loaded";
    } catch (const Unusable& error) {
        EXPECT_EQ(std::string(error.what()).rfind("desktop: " + path.string() + ": cannot read", 0),
                  0u)
            << error.what();
    }

    write(R"({"apps": [{"pid": 501, "root": {"id": "a"}}, {"pid": 501, "root": {"id": "b"}}]})");
    try {
        platform::createSystemWide();
        FAIL() << "a refused file loaded";
    } catch (const Unusable& error) {
        EXPECT_EQ(std::string(error.what()),
                  "desktop: " + path.string() + ": apps[1]: pid 501 is named twice");
    }
    // Still refused on the next call, and nothing is written back over the broken file.
    EXPECT_THROW(platform::isProcessTrusted(), Unusable);
    platform::beforeExit();
    EXPECT_EQ(readFile(path).find("lastRun"), std::string::npos);
}

TEST_F(SimPersist, SavedNumbersKeepTheirForm) {
    json field = element("field", {{"AXRole", "AXTextArea"}, {"AXWhole", 2.0}, {"AXCount", 3}},
                         {{"latencyMs", 1.5}});
    write(json{{"apps",
                {app(1, element("root", {{"AXRole", "AXApplication"}}, {{"children", {field}}}),
                     {{"focusDelayMs", 5.0}})}}}
              .dump());
    const auto loaded = *platform::sim::elementById(1, "field");
    platform::copyAttributeValue(loaded, "AXRole");
    platform::beforeExit();
    const std::string saved = readFile(path);
    // A float stays a float, a quantity is written as the integer it is, a time has one decimal.
    EXPECT_NE(saved.find("\"AXWhole\":2.0"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"AXCount\":3,"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"focusDelayMs\":5,"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"latencyMs\":1.5"), std::string::npos) << saved;
    const json calls = json::parse(saved)["lastRun"]["calls"];
    ASSERT_FALSE(calls.empty());
    for (const json& call : calls) {
        const double atMs = call["atMs"].get<double>();
        EXPECT_TRUE(call["atMs"].is_number_float());
        EXPECT_DOUBLE_EQ(atMs, std::round(atMs * 10) / 10);
    }
    platform::sim::reset();
    const auto again = *platform::sim::elementById(1, "field");
    const auto whole = platform::copyAttributeValue(again, "AXWhole");
    EXPECT_EQ(std::get<double>(std::get<platform::Number>(whole.value->data).value), 2.0);
}

using SimLoad = SimTest;

TEST_F(SimLoad, RefusedDesktopsNameThePlaceAndTheProblem) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "not JSON: unexpected end of input at line 1, column 1"},
        {"{\"apps\": [}", "not JSON: unexpected character at line 1, column 11"},
        // Cut short, out of range, text after the value: said as such, where it happens.
        {"{\"apps\": [", "not JSON: unexpected end of input at line 1, column 11"},
        {"{\"frontmost\": 1e400}", "not JSON: number out of range at line 1, column 15"},
        {"{\"apps\": []} x", "not JSON: unexpected text after the value at line 1, column 14"},
        {"[]", "a desktop is a JSON object"},
        {R"({"trusted": 1})", "trusted: expected true or false"},
        {R"({"apps": [{"root": {"id": "r"}}]})", "apps[0]: an app needs a \"pid\""},
        {R"({"apps": [{"pid": 1, "root": {"id": "r", "children": [{"id": "r"}]}}]})",
         "apps[0].root.children[0].id: element id \"r\" is repeated in this app"},
        {R"({"apps": [{"pid": 1, "focused": "x", "root": {"id": "r"}}]})",
         "apps[0].focused: no element \"x\" in this app"},
        {R"({"apps": [{"pid": 1, "root": {"id": "r", "attributes": {"AXLink": {"element": "q"}}}}]})",
         "apps[0].root.attributes.AXLink.element: no element \"q\" in this app"},
        {R"({"apps": [{"pid": 1, "root": {"id": "r", "attributes": {"AXPosition": {"point": [1]}}}}]})",
         "apps[0].root.attributes.AXPosition.point: expected [x, y]"},
        {R"({"apps": [{"pid": 1, "root": {"id": "r", "attributes": {"AXValue": {"colour": 1}}}}]})",
         "apps[0].root.attributes.AXValue: unknown value form \"colour\" (point, size, rect, "
         "range, "
         "element, attributed, error, other)"},
        {R"({"apps": [{"pid": 1, "root": {"id": "r", "attributes": {"AXValue": [{"error": "noValue"}]}}}]})",
         "apps[0].root.attributes.AXValue[0].error: an error value cannot stand inside a list"},
        {R"({"layouts": {"current": "colemak"}})",
         "layouts.current: unknown layout \"colemak\" (us, dvorak, azerty, qwertz, dvorak-qwerty)"},
        {R"({"layouts": {"current": {"keys": {"128": "x"}}}})",
         "layouts.current.keys: key code \"128\" is not 0 to 127"},
        {R"({"pasteboard": {"items": [[{"type": "t", "base64": "***"}]]}})",
         "pasteboard.items[0][0].base64: not base64"},
        {R"({"apps": [{"pid": 1, "paste": {"transform": "lower"}, "root": {"id": "r"}}]})",
         "apps[0].paste.transform: unknown transform \"lower\" (none, newlinesToSpaces, trim, "
         "upper, "
         "nfd)"},
        {R"({"timeline": [{"after": "commandX", "signal": "TERM"}]})",
         "timeline[0].after: unknown trigger \"commandX\" (commandC, commandV, activation, "
         "pasteboardWrite)"},
        {R"({"apps": [{"pid": 1, "root": {"id": "r", "attributes": {"AXValue": {"error": "busy"}}}}]})",
         "apps[0].root.attributes.AXValue.error: unknown error \"busy\" (cannotComplete, noValue, "
         "attributeUnsupported, invalidElement, invalidUIElement, failure, illegalArgument, "
         "notImplemented, apiDisabled)"},
        {R"({"apps": [{"pid": 1, "root": {"id": "r", "selectionReadBack": [0, 1, 2]}}]})",
         "apps[0].root.selectionReadBack[2]: expected [location, length]"},
        {R"({"apps": [{"pid": 1, "root": {"id": "r", "attributes": {"AXSelectedTextRange": {"range": [0, 0.5]}}}}]})",
         "apps[0].root.attributes.AXSelectedTextRange.range[1]: expected an integer"},
        {R"({"timeline": [{"atMs": 5, "focus": {"pid": 9, "element": "x"}}]})",
         "timeline[0].focus: pid 9 is not on the desktop"},
        {R"({"apps": [{"pid": 1, "root": {"id": "r"}}], "timeline": [{"after": "commandC", "set": {"pid": 1, "element": "nope", "attributes": {}}}]})",
         "timeline[0].set.element: no element \"nope\" in this app"},
        {R"({"timeline": [{"atMs": 5, "frontmost": 1, "signal": "TERM"}]})",
         "timeline[0]: an event needs exactly one of \"pasteboard\", \"focus\", \"frontmost\", "
         "\"set\", \"signal\""},
        {R"({"systemVersion": "fourteen"})",
         "systemVersion: expected a version \"major.minor[.patch]\", found \"fourteen\""},
        {R"({"apps": [{"pid": 4294967296, "root": {"id": "r"}}]})",
         "apps[0].pid: a process id must fit 32 bits"},
        {R"({"frontmost": 1, "frontmost": 2})", "key \"frontmost\" is given twice"},
        {"{\"x\": \"\xC3\"}", "not JSON: invalid UTF-8 in a string at line 1, column 8"},
    };
    for (const auto& [text, problem] : cases) {
        const auto error = platform::sim::install(text);
        ASSERT_TRUE(error.has_value()) << text;
        EXPECT_EQ(*error, std::string("desktop: <test>: ") + problem) << text;
    }
}

TEST_F(SimLoad, ARefusedInstallLeavesTheCurrentDesktop) {
    use({{"apps", {app(1, element("root", {{"AXRole", "AXApplication"}}))}}});
    EXPECT_TRUE(platform::sim::install("{").has_value());
    EXPECT_EQ(text(platform::copyAttributeValue(platform::createApplication(1), "AXRole")),
              "AXApplication");
}

TEST_F(SimLoad, DeepNestingIsRefusedNotOverflowed) {
    std::string deep = "{\"x\": ";
    deep += std::string(100000, '[') + std::string(100000, ']') + "}";
    const auto error = platform::sim::install(deep);
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find("nesting deeper than"), std::string::npos) << *error;
}

TEST_F(SimLoad, EscapesAreReadAndWhatIsPassedOverIsCheckedToo) {
    ASSERT_FALSE(platform::sim::install(
        R"({"apps": [{"pid": 1, "root": {"id": "r\u0031", "attributes": {"AX\u0056alue": "a\nb\u00e9",
            "AXRole": "AXApplication"}}}]})"));
    const auto root = *platform::sim::elementById(1, "r1");
    EXPECT_EQ(text(platform::copyAttributeValue(root, "AXValue")), "a\nb\u00e9");
    const auto refusal = [](const std::string& file) {
        return platform::sim::install(file).value_or("(loaded)");
    };
    // The path names the key as it reads, not as it was escaped.
    EXPECT_EQ(
        refusal(
            R"({"apps": [{"pid": 1, "root": {"id": "r", "attributes": {"AX\u0050osition": {"point": [1]}}}}]})"),
        "desktop: <test>: apps[0].root.attributes.AXPosition.point: expected [x, y]");
    // Values the loader has no use for must still be JSON, down to the last level.
    EXPECT_EQ(refusal(R"({"lastRun": {"calls": [1,,2]}})"),
              "desktop: <test>: not JSON: unexpected character at line 1, column 26");
    EXPECT_EQ(refusal(R"({"unknown": ["\ud800"]})").rfind("desktop: <test>: not JSON: ", 0), 0U);
    // A string followed by a colon is no key, whether it is read or passed over.
    for (const char* file :
         {R"({"apps": [{"pid": 1, "root": {"id": "r"}, "name": "x": "y"}, "z": 1}]})",
          R"({"unknown": [{"r": "x": "y"}, "t": "z"}]})", R"({"systemVersion": "14.0": "x"})"}) {
        EXPECT_EQ(refusal(file).rfind("desktop: <test>: not JSON: ", 0), 0U) << file;
    }
    EXPECT_EQ(refusal(R"({"trusted": true} {})"),
              "desktop: <test>: not JSON: unexpected text after the value at line 1, column 19");
    std::string deep = "{\"lastRun\": ";
    deep += std::string(600, '[') + std::string(600, ']') + "}";
    EXPECT_NE(refusal(deep).find("nesting deeper than 512 levels"), std::string::npos);
    std::string shallow = "{\"lastRun\": ";
    shallow += std::string(500, '[') + std::string(500, ']') + "}";
    EXPECT_EQ(refusal(shallow), "(loaded)");
}

}  // namespace
}  // namespace simtest
