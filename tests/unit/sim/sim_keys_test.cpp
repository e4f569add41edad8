// Keyboard layouts, key translation, and what Command chords make the focused application do:
// copy through the layout it reads keys with, and paste with its field's transform.
#include "platform/events.h"
#include "platform/input_sources.h"
#include "platform/pasteboard.h"
#include "sim_support.h"

namespace simtest {
namespace {

using platform::AXError;

void command(std::uint16_t keyCode, std::uint64_t flags = platform::eventFlagMaskCommand) {
    const auto source = platform::createEventSource(platform::eventSourceStatePrivate);
    for (const bool down : {true, false}) {
        const auto event = platform::createKeyboardEvent(source, keyCode, down);
        ASSERT_TRUE(event.has_value());
        platform::setFlags(*event, flags);
        platform::postEvent(platform::hidEventTap, *event);
    }
}

std::u16string translate(const platform::InputSource& source, std::uint16_t keyCode,
                         std::size_t maxLength = 4, std::uint32_t modifiers = 0) {
    const auto data = platform::unicodeKeyLayoutData(source);
    EXPECT_TRUE(data.has_value());
    const void* bytes = data ? platform::bytePointer(*data) : nullptr;
    std::uint32_t deadKeys = 0;
    const auto result =
        platform::translateKey(bytes, keyCode, platform::keyActionDisplay, modifiers,
                               platform::keyboardType(), 0, deadKeys, maxLength);
    EXPECT_EQ(result.status, 0);
    return std::u16string(result.units.begin(), result.units.end());
}

// The lowest key code whose unmodified output is exactly the character, as the helper finds it.
int keyFor(const platform::InputSource& source, char16_t c) {
    for (std::uint16_t code = 0; code < 128; ++code) {
        if (translate(source, code) == std::u16string(1, c)) {
            return code;
        }
    }
    return -1;
}

std::int64_t count() {
    return platform::changeCount(platform::generalPasteboard());
}

std::optional<std::string> plainText() {
    return platform::stringForType(platform::generalPasteboard(), platform::plainTextType);
}

using SimLayouts = SimTest;

TEST_F(SimLayouts, BuiltInLayoutsPutTheLettersWhereMacOSDoes) {
    struct Case {
        const char* name;
        int c;
        int v;
    };
    for (const Case& expected :
         {Case{"us", 8, 9}, Case{"dvorak", 34, 47}, Case{"azerty", 8, 9}, Case{"qwertz", 8, 9}}) {
        use({{"layouts", {{"current", expected.name}}}, {"apps", json::array()}});
        const auto source = platform::copyCurrentKeyboardLayoutInputSource();
        ASSERT_TRUE(source.has_value()) << expected.name;
        EXPECT_EQ(keyFor(*source, u'c'), expected.c) << expected.name;
        EXPECT_EQ(keyFor(*source, u'v'), expected.v) << expected.name;
    }
    use({{"layouts", {{"current", "azerty"}, {"asciiCapable", "qwertz"}}},
         {"apps", json::array()}});
    const auto azerty = *platform::copyCurrentKeyboardLayoutInputSource();
    EXPECT_EQ(translate(azerty, 0), u"q");
    EXPECT_EQ(translate(azerty, 12), u"a");
    EXPECT_EQ(translate(azerty, 41), u"m");
    EXPECT_EQ(translate(azerty, 19), u"é");
    EXPECT_EQ(translate(azerty, 18), u"&");
    const auto qwertz = *platform::copyCurrentASCIICapableKeyboardLayoutInputSource();
    EXPECT_EQ(translate(qwertz, 16), u"z");
    EXPECT_EQ(translate(qwertz, 6), u"y");
    EXPECT_EQ(translate(qwertz, 200), u"");  // past 127: no units
    EXPECT_EQ(translate(qwertz, 8, 0), u"");
    EXPECT_EQ(platform::keyboardType(), 40u);
}

TEST_F(SimLayouts, CustomMapsAndMissingLayoutData) {
    const json custom = {{"keys", {{"8", "x"}, {"20", "c"}, {"21", "cv"}}}};
    use({{"layouts", {{"current", custom}, {"asciiCapable", nullptr}}}, {"apps", json::array()}});
    const auto current = *platform::copyCurrentKeyboardLayoutInputSource();
    EXPECT_EQ(translate(current, 20), u"c");
    EXPECT_EQ(translate(current, 21), u"cv");
    EXPECT_EQ(translate(current, 21, 1), u"c");
    EXPECT_EQ(translate(current, 9), u"");
    EXPECT_EQ(keyFor(current, u'c'), 20);  // 21 types two units: no match
    // null: an input source without key-layout data.
    const auto ascii = platform::copyCurrentASCIICapableKeyboardLayoutInputSource();
    ASSERT_TRUE(ascii.has_value());
    EXPECT_FALSE(platform::unicodeKeyLayoutData(*ascii).has_value());

    use({{"apps", json::array()}});
    EXPECT_FALSE(platform::copyCurrentKeyboardLayoutInputSource().has_value());
    EXPECT_FALSE(platform::copyCurrentASCIICapableKeyboardLayoutInputSource().has_value());
    std::uint32_t deadKeys = 0;
    EXPECT_NE(platform::translateKey(nullptr, 8, platform::keyActionDisplay, 0, 40, 0, deadKeys, 4)
                  .status,
              0);
}

std::u16string withCommand(const platform::InputSource& source, std::uint16_t keyCode) {
    return translate(source, keyCode, 4, platform::commandKeyModifierState);
}

TEST_F(SimLayouts, CommandKeysAnswerOnlyWithTheCommandState) {
    use({{"layouts", {{"current", "dvorak-qwerty"}, {"asciiCapable", "dvorak"}}},
         {"apps", json::array()}});
    const auto both = *platform::copyCurrentKeyboardLayoutInputSource();
    EXPECT_EQ(keyFor(both, u'v'), 47);  // Dvorak to type
    EXPECT_EQ(translate(both, 9), u"k");
    EXPECT_EQ(withCommand(both, 9), u"v");  // the US keys for shortcuts
    EXPECT_EQ(withCommand(both, 8), u"c");
    EXPECT_EQ(withCommand(both, 47), u".");
    EXPECT_EQ(withCommand(both, 36), u"\r");
    // Without Command keys of its own a layout answers the same either way.
    const auto dvorak = *platform::copyCurrentASCIICapableKeyboardLayoutInputSource();
    for (const std::uint16_t code : {8, 9, 34, 47}) {
        EXPECT_EQ(withCommand(dvorak, code), translate(dvorak, code)) << code;
    }

    // A custom map's Command keys stand where given; elsewhere the key types what "keys" says.
    const json custom = {{"keys", {{"9", "k"}, {"47", "v"}}}, {"commandKeys", {{"9", "v"}}}};
    use({{"layouts", {{"current", custom}}}, {"apps", json::array()}});
    const auto current = *platform::copyCurrentKeyboardLayoutInputSource();
    EXPECT_EQ(translate(current, 9), u"k");
    EXPECT_EQ(withCommand(current, 9), u"v");
    EXPECT_EQ(withCommand(current, 47), u"v");
    EXPECT_EQ(platform::sim::state()["layouts"]["current"], custom);
}

json editor(json copy, json paste, json fieldExtra = json::object()) {
    json attributes = {{"AXRole", "AXTextArea"},
                       {"AXValue", "one two three"},
                       {"AXSelectedTextRange", {{"range", {4, 3}}}}};
    for (auto& [key, value] : fieldExtra.items()) {
        attributes[key] = value;
    }
    json field = element("field", attributes, {{"settable", {"AXValue", "AXSelectedTextRange"}}});
    json a = app(10, element("root", {{"AXRole", "AXApplication"}}, {{"children", {field}}}),
                 {{"focused", "field"}});
    a["copy"] = std::move(copy);
    a["paste"] = std::move(paste);
    return a;
}

json desktopWith(json app, json extra = json::object()) {
    json d = {{"frontmost", 10},
              {"pasteboard",
               {{"changeCount", 5},
                {"items", {{{{"type", platform::plainTextType}, {"text", "user text"}}}}}}},
              {"apps", {std::move(app)}}};
    for (auto& [key, value] : extra.items()) {
        d[key] = value;
    }
    return d;
}

using SimCopy = SimTest;

TEST_F(SimCopy, DvorakCopiesOnlyOnTheKeyThatTypesC) {
    use(desktopWith(editor({{"delayMs", 10}}, {{"delayMs", 10}}),
                    {{"layouts", {{"current", "dvorak"}}}}));
    command(8);  // "j" on Dvorak
    platform::sim::settle(1s);
    EXPECT_EQ(count(), 5);
    EXPECT_EQ(plainText(), "user text");
    command(34);
    platform::sim::settle(1s);
    EXPECT_EQ(count(), 6);
    EXPECT_EQ(plainText(), "two");
    const json run = platform::sim::state()["lastRun"];
    ASSERT_EQ(run["events"].size(), 4u);
    EXPECT_EQ(run["events"][2]["keyCode"], 34);
    EXPECT_EQ(run["events"][2]["type"], "keyDown");
    EXPECT_EQ(run["events"][3]["type"], "keyUp");
    EXPECT_EQ(run["events"][3]["flags"], 1048576);
    bool appCleared = false;
    for (const auto& op : run["pasteboard"]) {
        appCleared = appCleared || (op["op"] == "clearContents" && op["by"] == "app");
    }
    EXPECT_TRUE(appCleared);
}

TEST_F(SimCopy, CommandChordsAreReadThroughTheCommandKeys) {
    use(desktopWith(editor({{"delayMs", 0}, {"text", "copied"}}, {{"delayMs", 0}}),
                    {{"layouts", {{"current", "dvorak-qwerty"}}}}));
    command(47);  // types "v", but Command-period
    command(34);  // types "c", but Command-i
    platform::sim::settle(1s);
    EXPECT_EQ(count(), 5);
    EXPECT_EQ(text(platform::copyAttributeValue(at(10, "field"), "AXValue")), "one two three");
    command(9);
    platform::sim::settle(1s);
    EXPECT_EQ(text(platform::copyAttributeValue(at(10, "field"), "AXValue")),
              "one user text three");
    command(8);
    platform::sim::settle(1s);
    EXPECT_EQ(plainText(), "copied");
    EXPECT_EQ(platform::sim::state()["layouts"]["current"], "dvorak-qwerty");
}

TEST_F(SimCopy, WithoutLayoutDataAppsReadKeysAsUs) {
    use(desktopWith(editor({{"delayMs", 0}}, nullptr)));
    command(8, 0);  // no Command flag: typing, not a copy
    platform::sim::settle(1s);
    EXPECT_EQ(count(), 5);
    command(8);
    platform::sim::settle(1s);
    EXPECT_EQ(plainText(), "two");
}

TEST_F(SimCopy, NothingToCopyLeavesThePasteboardAlone) {
    // An empty selection.
    use(desktopWith(
        editor({{"delayMs", 0}}, nullptr, {{"AXSelectedTextRange", {{"range", {3, 0}}}}})));
    command(8);
    platform::sim::settle(1s);
    EXPECT_EQ(count(), 5);
    // An app that ignores the chord.
    use(desktopWith(editor(nullptr, nullptr)));
    command(8);
    platform::sim::settle(1s);
    EXPECT_EQ(count(), 5);
    // A password field, even with a copy text.
    use(desktopWith(editor({{"text", "secret"}}, nullptr, {{"AXSubrole", "AXSecureTextField"}})));
    command(8);
    platform::sim::settle(1s);
    EXPECT_EQ(count(), 5);
    EXPECT_EQ(plainText(), "user text");
}

TEST_F(SimCopy, CopyTextAndItemsReplaceTheSelection) {
    use(desktopWith(editor({{"text", "from the app"}}, nullptr)));
    command(8);
    platform::sim::settle(1s);
    EXPECT_EQ(plainText(), "from the app");

    json image = {{{{"type", "public.png"}, {"base64", "iVBORw0KGgo="}}}};
    use(desktopWith(editor({{"items", image}}, nullptr)));
    command(8);
    platform::sim::settle(1s);
    EXPECT_EQ(count(), 6);
    EXPECT_FALSE(plainText().has_value());
    const auto items = platform::pasteboardItems(platform::generalPasteboard());
    ASSERT_EQ(items->size(), 1u);
    EXPECT_EQ(platform::dataForType(items->front(), "public.png")->size(), 8u);
}

TEST_F(SimCopy, TheChordGoesToTheAppWithKeyboardFocus) {
    json front = editor({{"text", "front"}}, nullptr);
    json focused = editor({{"text", "focused"}}, nullptr);
    focused["pid"] = 11;
    use({{"frontmost", 10}, {"focusedApplication", 11}, {"apps", {front, focused}}});
    command(8);
    platform::sim::settle(1s);
    EXPECT_EQ(plainText(), "focused");
}

using SimPaste = SimTest;

struct PasteCase {
    const char* transform;
    const char* pasted;
    const char* value;  // after the paste into "one [two] three"
    std::int64_t caret;
};

TEST_F(SimPaste, TransformedTextReplacesTheSelectionAndTheCaretFollows) {
    const PasteCase cases[] = {
        {"none", "a\r\nb", "one a\r\nb three", 8},
        {"newlinesToSpaces", "a\r\nb\rc\nd\u2028e\u2029f\u0085g", "one a b c d e f g three", 17},
        {"trim", " \t\u00A0x y\n\u3000", "one x y three", 7},
        // Scalar by scalar, as utf8proc maps them: ß becomes ẞ, not SS.
        {"upper", "straße é", "one STRAẞE É three", 12},
        {"nfd", "é", "one e\u0301 three", 6},
    };
    for (const auto& c : cases) {
        json d = desktopWith(editor(nullptr, {{"delayMs", 5}, {"transform", c.transform}}));
        d["pasteboard"]["items"][0][0]["text"] = c.pasted;
        use(d);
        command(9);
        platform::sim::settle(1s);
        const auto field = at(10, "field");
        EXPECT_EQ(text(platform::copyAttributeValue(field, "AXValue")), c.value) << c.transform;
        const auto caret = platform::copyAttributeValue(field, "AXSelectedTextRange");
        EXPECT_EQ(std::get<platform::Range>(std::get<platform::Wrapped>(caret.value->data).value),
                  (platform::Range{c.caret, 0}))
            << c.transform;
    }
}

TEST_F(SimPaste, PasteNeedsASettableValueAndPlainText) {
    // No selection: the text goes at the end.
    json noRange = desktopWith(editor(nullptr, json::object()));
    noRange["apps"][0]["root"]["children"][0]["attributes"].erase("AXSelectedTextRange");
    use(noRange);
    command(9);
    platform::sim::settle(1s);
    EXPECT_EQ(text(platform::copyAttributeValue(at(10, "field"), "AXValue")),
              "one two threeuser text");

    json readOnly = desktopWith(editor(nullptr, json::object()));
    readOnly["apps"][0]["root"]["children"][0]["settable"] = json::array();
    use(readOnly);
    command(9);
    platform::sim::settle(1s);
    EXPECT_EQ(text(platform::copyAttributeValue(at(10, "field"), "AXValue")), "one two three");

    json image = desktopWith(editor(nullptr, json::object()));
    image["pasteboard"]["items"] = {{{{"type", "public.png"}, {"base64", "AAAA"}}}};
    use(image);
    command(9);
    platform::sim::settle(1s);
    EXPECT_EQ(text(platform::copyAttributeValue(at(10, "field"), "AXValue")), "one two three");
}

TEST_F(SimPaste, ThePasteReadsThePasteboardWhenItLands) {
    use(desktopWith(editor(nullptr, {{"delayMs", 150}})));
    command(9);
    const auto board = platform::generalPasteboard();
    platform::clearContents(board);
    platform::setString(board, "late", platform::plainTextType);
    platform::sim::settle(1s);
    EXPECT_EQ(text(platform::copyAttributeValue(at(10, "field"), "AXValue")), "one late three");
}

}  // namespace
}  // namespace simtest
