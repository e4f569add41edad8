// The frame's rules seen from the parent: command words, the blank rule, bad requests of every
// kind, and the one-line, status-0, silent-stderr contract.
#include <string>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace {

using nlohmann::json;

struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    json expected;  // keys that the reply must hold with these values
};

void expectReply(const harness::Run& run, const json& expected, const std::string& name) {
    SCOPED_TRACE(name);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(run.lines(), 1) << run.out;
    const json reply = run.reply();
    ASSERT_TRUE(reply.is_object()) << run.out;
    for (const auto& [key, value] : expected.items()) {
        EXPECT_EQ(reply.value(key, json()), value) << key << " in " << run.out;
    }
}

harness::Run runWith(const std::vector<std::string>& args, const std::string& input) {
    harness::Options options;
    options.args = args;
    options.input = input;
    return harness::run(options);
}

TEST(FrameCommandWords, AnswerByExactMatch) {
    const Case cases[] = {
        {"no argument",
         {},
         "",
         {{"ok", false}, {"error", "unknownCommand"}, {"detail", "no command given"}}},
        {"capital Capture",
         {"Capture"},
         "{}",
         {{"ok", false}, {"error", "unknownCommand"}, {"detail", "unknown command: Capture"}}},
        {"capital Version",
         {"--Version"},
         "",
         {{"ok", false}, {"error", "unknownCommand"}, {"detail", "unknown command: --Version"}}},
        {"padded word",
         {" insert"},
         "",
         {{"error", "unknownCommand"}, {"detail", "unknown command:  insert"}}},
        {"empty word", {""}, "", {{"error", "unknownCommand"}, {"detail", "unknown command: "}}},
        {"version with more arguments",
         {"--version", "capture", "x"},
         "",
         {{"ok", true}, {"version", 4}}},
        {"word not UTF-8",
         {"\xff\xfe"},
         "",
         {{"error", "unknownCommand"}, {"detail", "unknown command: \xEF\xBF\xBD\xEF\xBF\xBD"}}},
    };
    for (const Case& c : cases) {
        expectReply(runWith(c.args, c.input), c.expected, c.name);
    }
}

TEST(FrameCommandWords, VersionReplyIsExactlyOkAndVersion) {
    const harness::Run run = runWith({"--version"}, "");
    EXPECT_EQ(run.reply(), json({{"ok", true}, {"version", 4}}));
}

TEST(FrameCommandWords, VersionNeverReadsStandardInput) {
    harness::Options options;
    options.args = {"--version"};
    options.closeInput = false;  // a parent that never closes its end
    const harness::Run run = harness::run(options);
    expectReply(run, {{"ok", true}, {"version", 4}}, "stdin open");
}

TEST(FrameIntake, BlankInputDecodesAsEmptyObject) {
    // An insert request needs "pid": a blank input that is read as {} fails on exactly that key.
    for (const std::string& input :
         std::vector<std::string>{"", " ", "\t\r\n \n", std::string(100000, ' ')}) {
        const harness::Run run = runWith({"insert"}, input);
        expectReply(run, {{"ok", false}, {"error", "badRequest"}}, "blank");
        EXPECT_NE(run.reply().value("detail", "").find("pid"), std::string::npos) << run.out;
    }
}

TEST(FrameIntake, BadRequestsGetOneBadRequestLine) {
    const std::string deep(1'000'000, '[');
    const Case cases[] = {
        {"form feed only", {"insert"}, "\f", {}},
        {"vertical tab only", {"capture"}, "\v", {}},
        {"malformed JSON", {"capture"}, "{\"probe\": tru", {}},
        {"top-level list", {"capture"}, "[]", {}},
        {"top-level number", {"capture"}, "42", {}},
        {"top-level string", {"insert"}, "\"x\"", {}},
        {"invalid UTF-8 in a string", {"capture"}, "{\"x\": \"\xc3\x28\"}", {}},
        {"lone surrogate escape", {"capture"}, "{\"x\": \"\\ud800\"}", {}},
        {"trailing garbage", {"capture"}, "{} {}", {}},
        {"a million open brackets", {"capture"}, deep, {}},
        {"a million nested objects",
         {"insert"},
         [] {
             std::string text;
             for (int i = 0; i < 1'000'000; ++i) {
                 text += "{\"a\":";
             }
             return text;
         }(),
         {}},
        {"wrong probe type", {"capture"}, R"({"probe": "yes"})", {}},
        {"probe as number", {"capture"}, R"({"probe": 1})", {}},
        {"fractional maxChars", {"capture"}, R"({"maxChars": 2.5})", {}},
        {"maxChars above 2^63-1", {"capture"}, R"({"maxChars": 9223372036854775808})", {}},
        {"deadline above 2^64", {"capture"}, R"({"deadlineMs": 18446744073709551616})", {}},
        {"pid above 32 bits",
         {"insert"},
         R"({"pid": 2147483648, "text": "", "into": {"kind": "focus", "mode": "replaceField"}})",
         {}},
    };
    for (const Case& c : cases) {
        const harness::Run run = runWith(c.args, c.input);
        expectReply(run, {{"ok", false}, {"error", "badRequest"}}, c.name);
        EXPECT_TRUE(run.reply().value("detail", json()).is_string()) << c.name;
    }
}

TEST(FrameIntake, DetailsCarryWholeButShortenedValues) {
    // An embedded NUL does not cut the detail short.
    const std::string nul =
        R"({"pid": 1, "text": "", "into": {"kind": "a\u0000b", "mode": "replaceField"}})";
    EXPECT_EQ(runWith({"insert"}, nul).reply().value("detail", ""),
              std::string("into.kind: unknown kind a\0b", 27));
    // Just outside the 64-bit range, where a double would round the number into it.
    for (const char* field : {"deadlineMs", "maxChars"}) {
        const harness::Run run =
            runWith({"capture"}, std::string("{\"") + field + "\": -9223372036854775809}");
        EXPECT_EQ(
            run.reply().value("detail", ""),
            std::string(field) + ": expected a 64-bit integer, found a number outside its range");
    }
    // A megabyte of unknown kind, or of command word, gives a short reply.
    const std::string kind(1'000'000, 'k');
    const harness::Run big = runWith(
        {"insert"},
        json({{"pid", 1}, {"text", ""}, {"into", {{"kind", kind}, {"mode", "replaceField"}}}})
            .dump());
    EXPECT_EQ(big.reply().value("detail", ""),
              "into.kind: unknown kind " + std::string(64, 'k') + "\u2026");
    const harness::Run word = runWith({std::string(100'000, 'w')}, "");
    EXPECT_LT(word.out.size(), 200U);
    EXPECT_EQ(word.reply().value("error", ""), "unknownCommand");
}

TEST(FrameIntake, TheLastOfADuplicateKeyCountsAndKeysAreReadUnescaped) {
    // The faulty first "pid" is forgotten: the request decodes and reaches the command.
    const harness::Run run = runWith(
        {"insert"},
        R"({"pid": "x", "p\u0069d": 999999, "text": "", "into": {"kind": "focus", "mode": "replaceField"}})");
    expectReply(run, {{"ok", false}, {"error", "targetGone"}}, "duplicate pid");
    const harness::Run bad = runWith(
        {"insert"},
        R"({"pid": 999999, "pid": "x", "text": "", "into": {"kind": "focus", "mode": "replaceField"}})");
    expectReply(bad,
                {{"ok", false},
                 {"error", "badRequest"},
                 {"detail", "pid: expected a 32-bit integer, found a string"}},
                "duplicate pid, faulty last");
}

TEST(FrameIntake, ReadsInputBeyondOneBufferBeforeDecoding) {
    // The fault sits after 200 kB, so only a complete read can name it.
    const std::string input =
        R"({"pid": 1, "text": ")" + std::string(200'000, 'a') + R"(", "into": 5})";
    const harness::Run run = runWith({"insert"}, input);
    expectReply(run, {{"error", "badRequest"}}, "large");
    EXPECT_NE(run.reply().value("detail", "").find("into"), std::string::npos) << run.out;
}

TEST(FrameIntake, ParseErrorDetailStaysShortAndValid) {
    // nlohmann echoes the last token read; a long bad string must not come back in the detail.
    const std::string input = "{\"x\": \"" + std::string(100'000, 'a') + "\xff\"}";
    const harness::Run run = runWith({"capture"}, input);
    expectReply(run, {{"error", "badRequest"}}, "long token");
    EXPECT_LT(run.out.size(), 1000U);
}

TEST(FrameReplyChannel, ClosedStandardOutputStillExitsZeroSilently) {
    harness::Options options;
    options.args = {"--version"};
    options.closeStdout = true;
    const harness::Run run = harness::run(options);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "");
}

}  // namespace
