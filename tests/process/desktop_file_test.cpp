// The desktop file as a setup fault: refused with one "internal" line naming the file, and never
// loaded (nor rewritten) by replies that come before any platform call.
#include <fstream>

#include <gtest/gtest.h>

#include "process/harness.h"
#include "support/desktop_json.h"

namespace {

using desktopjson::json;

void writeRaw(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

TEST(DesktopFile, BrokenFilesAreAnInternalFaultNamingTheFile) {
    const json app = {{"pid", 1}, {"root", {{"id", "r"}}}};
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"not JSON", "{\"apps\": ["},
        {"pid twice", json{{"apps", {app, app}}}.dump()},
        {"element id repeated",
         json{{"apps", {{{"pid", 1}, {"root", {{"id", "r"}, {"children", {{{"id", "r"}}}}}}}}}}
             .dump()},
        {"value of the wrong shape",
         json{{"apps",
               {{{"pid", 1},
                 {"root", {{"id", "r"}, {"attributes", {{"AXSize", {{"size", {1}}}}}}}}}}}}
             .dump()},
    };
    for (const auto& c : cases) {
        harness::Desktop desktop(json::object());
        writeRaw(desktop.path(), c.text);
        for (const char* word : {"capture", "insert"}) {
            const std::string request =
                std::string(word) == "insert"
                    ? R"({"pid": 1, "text": "x", "into": {"kind": "focus", "mode": "replaceSelection"}})"
                    : "{}";
            const harness::Run run = harness::command(word, request, desktop.path());
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(run.err, "");
            ASSERT_EQ(run.lines(), 1) << c.name;
            const json reply = run.reply();
            EXPECT_EQ(reply["error"], "internal") << c.name;
            EXPECT_EQ(reply.value("detail", "").rfind("desktop: " + desktop.path(), 0), 0U)
                << c.name << ": " << run.out;
            EXPECT_EQ(harness::readTextFile(desktop.path()), c.text) << c.name;  // left as it was
        }
    }
}

TEST(DesktopFile, MissingFileIsAnInternalFault) {
    const harness::Run run = harness::command("capture", "{}", "/nonexistent/desktop.json");
    EXPECT_EQ(run.reply()["error"], "internal");
}

TEST(DesktopFile, PathThatIsNotUtf8StillGivesItsDetail) {
    const harness::Run run = harness::command("capture", "{}", "/nonexistent/\xff.json");
    EXPECT_EQ(run.reply()["error"], "internal");
    EXPECT_EQ(run.reply().value("detail", "").rfind("desktop: /nonexistent/\xEF\xBF\xBD.json", 0),
              0U)
        << run.out;
}

TEST(DesktopFile, RepliesBeforeAnyPlatformCallNeverLoadIt) {
    harness::Desktop desktop(json::object());
    writeRaw(desktop.path(), "not json at all");
    const struct {
        const char* word;
        const char* input;
        const char* error;
    } cases[] = {{"--version", "", nullptr},
                 {"capture", "[]", "badRequest"},
                 {"insert", "{}", "badRequest"},
                 {"paste", "{}", "unknownCommand"}};
    for (const auto& c : cases) {
        const json reply = harness::command(c.word, c.input, desktop.path()).reply();
        if (c.error != nullptr) {
            EXPECT_EQ(reply["error"], c.error) << c.word;
        } else {
            EXPECT_EQ(reply["ok"], true);
        }
    }
    EXPECT_EQ(harness::readTextFile(desktop.path()), "not json at all");
}

TEST(DesktopFile, EveryRunSavesItsStateForTheNext) {
    harness::Desktop desktop(harness::readJsonFile(harness::example("demo-desktop.json")));
    const json first = desktop.run("capture", json::object()).reply();
    ASSERT_EQ(first["ok"], true);
    const json saved = desktop.read();
    EXPECT_FALSE(saved["lastRun"]["calls"].empty());
    EXPECT_TRUE(saved.contains("apps"));
    EXPECT_EQ(desktop.run("capture", json::object()).reply()["focus"], first["focus"]);
}

}  // namespace
