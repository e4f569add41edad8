// insert and the copy probe against a real GTK application over X11, run as the parent runs the
// helper: the field's text as AT-SPI reads it afterwards, and the clipboard as the tests' own
// client reads it, down to every target's type, format and bytes. Each test names the focus of
// the application it drives, so that more applications can be pointed at later.
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <thread>

#include <gtest/gtest.h>

#include "clipboard.h"
#include "desktop.h"
#include "run.h"

namespace {

using namespace linuxdesktop;
using nlohmann::json;
using std::chrono::milliseconds;
using std::chrono::seconds;

const std::string entryText = "single line \u00e9\U0001F600 text";

json insertRequest(pid_t pid, const std::string& text, const std::string& mode,
                   const json& extra = json::object()) {
    json request = {{"pid", pid}, {"text", text}, {"into", {{"kind", "focus"}, {"mode", mode}}}};
    request.update(extra);
    return request;
}

json replyOf(const harness::Run& run) {
    EXPECT_EQ(run.lines(), 1) << run.out << run.err;
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.err.empty()) << run.err;
    return run.reply();
}

// The clipboard holds exactly what the owner offered, and a keeper of the helper's serves it.
pid_t expectKept(const Desktop& desktop, const Owner& owner) {
    const std::string dump = dumpClipboard(desktop);
    EXPECT_EQ(contents(dump), owner.offered);
    const std::optional<pid_t> keeper = ownerOf(dump);
    EXPECT_TRUE(keeper && *keeper != owner.pid && isKeeper(*keeper)) << dump;
    return keeper.value_or(-1);
}

// The helper's own text is on the clipboard, and the dump names who serves it.
bool holdsHelperText(const std::string& dump) {
    return dump.find("x-kde-passwordManagerHint") != std::string::npos && ownerOf(dump);
}

// FNV-1a 64, as the tests' client prints it.
std::string hashOf(const std::string& bytes) {
    std::uint64_t hash = 1469598103934665603ULL;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

// An insert that runs on its own thread while the test acts on the desktop.
class Background {
  public:
    Background(const Desktop& desktop, json request)
        : thread_([this, &desktop, request = std::move(request)] {
              run_ = runHelper(desktop, "insert", request);
          }) {}
    ~Background() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    const harness::Run& finish() {
        thread_.join();
        return run_;
    }

  private:
    harness::Run run_;
    std::thread thread_;
};

// A field to paste into: the application's widget to focus and the text the field holds. More
// applications (GTK 4, Qt, a browser) join the list as their test sessions come.
struct Field {
    const char* focus;
    std::string text;
};

void PrintTo(const Field& field, std::ostream* out) {
    *out << field.focus;
}

class LinuxInsertInto : public ::testing::TestWithParam<Field> {};

INSTANTIATE_TEST_SUITE_P(Gtk3, LinuxInsertInto,
                         ::testing::Values(Field{"entry", entryText},
                                           Field{"view", "first line\nsecond line with caf\u00e9"}),
                         [](const auto& info) { return std::string(info.param.focus); });

TEST_P(LinuxInsertInto, EveryModeLandsAndTheUsersClipboardComesBackExactly) {
    Desktop desktop(GetParam().focus);
    const Owner owner = own(desktop, "full");
    const std::string& start = GetParam().text;
    ASSERT_EQ(fieldText(desktop), start);
    // The caret sits at the end of the text in both.
    const struct {
        const char* mode;
        std::string text;
        std::string field;
    } cases[] = {
        {"afterSelection", " na\u00efve", start + " na\u00efve"},
        {"replaceSelection", " \u65e5\u672c\u8a9e e\u0301",
         start + " na\u00efve \u65e5\u672c\u8a9e e\u0301"},
        {"replaceField", "\U0001F642 fresh", "\U0001F642 fresh"},
    };
    pid_t keeper = -1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        // The paste is served while the helper waits for it: the text shows long before the
        // wait could run out, and the user's items are put back only then.
        const harness::Run run = runHelper(
            desktop, "insert",
            insertRequest(desktop.appPid(), c.text, c.mode, {{"verifyTimeoutMs", 30000}}));
        EXPECT_EQ(
            replyOf(run),
            json({{"ok", true}, {"activated", false}, {"verified", "yes"}, {"restored", true}}));
        EXPECT_LT(run.elapsedMs, 15000);
        EXPECT_EQ(fieldText(desktop), c.field);
        const pid_t previous = keeper;
        keeper = expectKept(desktop, owner);
        // The borrowing took CLIPBOARD from the keeper before: keepers never pile up.
        if (previous > 0) {
            EXPECT_TRUE(awaitExit(previous, seconds(10)));
        }
    }
    EXPECT_TRUE(awaitExit(owner.pid, seconds(10))) << "the owner lost CLIPBOARD to the helper";
}

TEST(LinuxInsert, TheUsersClipboardOutlivesTheHelperUntilSomebodyCopies) {
    Desktop desktop("entry");
    const Owner owner = own(desktop, "full");
    const json reply = replyOf(
        runHelper(desktop, "insert", insertRequest(desktop.appPid(), " kept", "afterSelection")));
    EXPECT_EQ(reply["restored"], true) << reply;
    const pid_t keeper = expectKept(desktop, owner);
    // The point of the keeper: the helper is gone, and the user's clipboard is still there.
    std::this_thread::sleep_for(seconds(2));
    EXPECT_EQ(contents(dumpClipboard(desktop)), owner.offered);
    // Somebody copies: the keeper's work is done.
    const Owner next = own(desktop, "text:copied later");
    EXPECT_TRUE(awaitExit(keeper, seconds(10)));
    const std::string dump = dumpClipboard(desktop);
    EXPECT_EQ(ownerOf(dump), next.pid);
    EXPECT_EQ(contents(dump), next.offered);
}

TEST(LinuxInsert, IntoAComposerNamedByACaptureAndAnEmptyClipboardStaysEmpty) {
    Desktop desktop("button");
    ASSERT_EQ(dumpClipboard(desktop), "owner none\n");
    const json captured = captureNamingAComposer(desktop, {{"probe", false}});
    ASSERT_TRUE(captured["composer"].is_object()) << captured;
    const json reply = replyOf(runHelper(
        desktop, "insert",
        {{"pid", desktop.appPid()},
         {"text", "On it!"},
         {"into", {{"kind", "composer"}, {"element", captured["composer"]["element"]}}}}));
    EXPECT_EQ(reply,
              json({{"ok", true}, {"activated", false}, {"verified", "yes"}, {"restored", true}}));
    const std::optional<std::string> field = fieldText(desktop);
    ASSERT_TRUE(field);
    EXPECT_EQ(field->substr(0, entryText.size()), entryText);
    EXPECT_EQ(field->substr(field->size() - 6), "On it!");
    // Nothing to give back: no keeper, nobody owns CLIPBOARD.
    EXPECT_EQ(dumpClipboard(desktop), "owner none\n");
}

// A button takes Control-V without a change anyone can watch: the text stays on the clipboard
// for settleMs, which is where these tests act.
json blindPaste(const Desktop& desktop, std::int64_t deadlineMs) {
    return insertRequest(desktop.appPid(), "blind", "replaceSelection",
                         {{"settleMs", 30000}, {"deadlineMs", deadlineMs}});
}

TEST(LinuxInsert, WhileTheTextIsOnTheClipboardAForeignWriteWins) {
    Desktop desktop("button");
    const Owner owner = own(desktop, "full");
    Background helper(desktop, blindPaste(desktop, 40000));
    const std::string borrowed = awaitClipboard(desktop, seconds(30), holdsHelperText);
    // The helper's text, in every encoding X11 clients ask for, marked for clipboard managers.
    EXPECT_EQ(contents(borrowed),
              "targets TARGETS TIMESTAMP UTF8_STRING text/plain;charset=utf-8 STRING TEXT "
              "x-kde-passwordManagerHint\n"
              "UTF8_STRING UTF8_STRING 8 5 " +
                  hashOf("blind") +
                  "\n"
                  "text/plain;charset=utf-8 text/plain;charset=utf-8 8 5 " +
                  hashOf("blind") +
                  "\n"
                  "STRING STRING 8 5 " +
                  hashOf("blind") +
                  "\n"
                  "TEXT UTF8_STRING 8 5 " +
                  hashOf("blind") +
                  "\n"
                  "x-kde-passwordManagerHint x-kde-passwordManagerHint 8 6 " +
                  hashOf("secret") + "\n");
    const Owner foreign = own(desktop, "text:written meanwhile");
    const harness::Run& run = helper.finish();
    EXPECT_EQ(
        replyOf(run),
        json({{"ok", true}, {"activated", false}, {"verified", "unknown"}, {"restored", false}}));
    EXPECT_LT(run.elapsedMs, 20000) << "the settle wait ends with the foreign write";
    const std::string dump = dumpClipboard(desktop);
    EXPECT_EQ(ownerOf(dump), foreign.pid);
    EXPECT_EQ(contents(dump), foreign.offered);
}

TEST(LinuxInsert, DeadlineAndTerminationWhileBorrowedGiveTheClipboardBack) {
    Desktop desktop("button");
    const Owner owner = own(desktop, "full");
    {
        SCOPED_TRACE("deadline");
        // The text is on the clipboard within tens of milliseconds, long before the deadline.
        const json reply = replyOf(runHelper(desktop, "insert", blindPaste(desktop, 2000)));
        EXPECT_EQ(reply, json({{"ok", false},
                               {"error", "timedOut"},
                               {"detail", "deadline of 2000 ms passed"},
                               {"restored", true}}));
        expectKept(desktop, owner);
    }
    {
        SCOPED_TRACE("SIGTERM");
        Background helper(desktop, blindPaste(desktop, 40000));
        const std::string borrowed = awaitClipboard(desktop, seconds(30), holdsHelperText);
        // While it holds the clipboard, the helper's own window owns it.
        const std::optional<pid_t> helperPid = ownerOf(borrowed);
        ASSERT_TRUE(helperPid && !isKeeper(*helperPid)) << borrowed;
        kill(*helperPid, SIGTERM);
        EXPECT_EQ(replyOf(helper.finish()), json({{"ok", false},
                                                  {"error", "timedOut"},
                                                  {"detail", "terminated"},
                                                  {"restored", true}}));
        expectKept(desktop, owner);
    }
}

TEST(LinuxInsert, FourMegabytesLand) {
    Desktop desktop("view");
    const Owner owner = own(desktop, "full");
    std::string text;
    for (int line = 0; text.size() < 4 * 1024 * 1024; ++line) {
        text += "line " + std::to_string(line) + ": the quick brown fox jumps over the lazy dog\n";
    }
    const json reply =
        replyOf(runHelper(desktop, "insert",
                          insertRequest(desktop.appPid(), text, "replaceField",
                                        {{"verifyTimeoutMs", 20000}, {"deadlineMs", 40000}})));
    EXPECT_EQ(reply["ok"], true) << reply;
    EXPECT_EQ(reply["restored"], true);
    // A GTK text view busy taking in 4 MB may answer no read within the helper's half second:
    // then the verdict is "unknown", never "no".
    EXPECT_NE(reply["verified"], "no");
    std::optional<std::string> field;
    const auto end = std::chrono::steady_clock::now() + seconds(30);
    do {
        field = fieldText(desktop);
    } while (field != text && std::chrono::steady_clock::now() < end);
    EXPECT_TRUE(field == text) << (field ? field->size() : 0) << " bytes in the field";
    expectKept(desktop, owner);
}

TEST(LinuxInsert, DvorakTakesTheKeyThatTypesV) {
    Desktop desktop("entry", Options{false, {"-layout", "us", "-variant", "dvorak"}});
    const Owner owner = own(desktop, "text:the user's");
    const json reply = replyOf(
        runHelper(desktop, "insert", insertRequest(desktop.appPid(), " dvorak", "afterSelection")));
    EXPECT_EQ(reply["verified"], "yes") << reply;
    EXPECT_EQ(fieldText(desktop), entryText + " dvorak");
    expectKept(desktop, owner);
}

TEST(LinuxInsert, TargetBehindAnotherWindowComesToTheFront) {
    Desktop desktop("entry", Options{true, {}});
    // A second window takes the front, and the focus with it.
    const Started other = launchUntil(desktop, {LARKSPIN_GTK_TEST_APP, "button"}, "ready");
    const json before = awaitFront(desktop, other.pid, seconds(30));
    ASSERT_EQ(before["app"]["pid"], other.pid) << before;
    const json reply = replyOf(runHelper(
        desktop, "insert", insertRequest(desktop.appPid(), " fronted", "afterSelection")));
    EXPECT_EQ(reply,
              json({{"ok", true}, {"activated", true}, {"verified", "yes"}, {"restored", true}}));
    EXPECT_EQ(fieldText(desktop), entryText + " fronted");
}

TEST(LinuxInsert, ClipboardThatCannotBeGivenBackIsNotBorrowed) {
    Desktop desktop("entry");
    for (const char* kind : {"silent", "refusing"}) {
        SCOPED_TRACE(kind);
        const Owner owner = own(desktop, kind);
        const harness::Run run =
            runHelper(desktop, "insert", insertRequest(desktop.appPid(), "x", "afterSelection"));
        const json reply = replyOf(run);
        EXPECT_EQ(reply["error"], "pasteboardUnreadable") << reply;
        EXPECT_LT(run.elapsedMs, 5000);
        EXPECT_EQ(fieldText(desktop), entryText);
        // Still the owner's: nothing was taken from it.
        EXPECT_EQ(clipboardOwner(desktop), owner.pid);
        kill(owner.pid, SIGTERM);
        EXPECT_TRUE(awaitExit(owner.pid, seconds(10)));
    }
    // A password manager's copy is never read and never given back.
    const Owner secret = own(desktop, "secret");
    const json reply = replyOf(
        runHelper(desktop, "insert", insertRequest(desktop.appPid(), " kept", "afterSelection")));
    EXPECT_EQ(reply,
              json({{"ok", true},
                    {"activated", false},
                    {"verified", "yes"},
                    {"restored", true},
                    {"leftOut", {{"concealedItems", 1}, {"unreadableTypes", json::array()}}}}));
    EXPECT_EQ(dumpClipboard(desktop), "owner none\n");
}

TEST(LinuxInsert, WithoutAnX11WindowForTheTargetNothingIsTouched) {
    Desktop desktop("entry");
    const Owner owner = own(desktop, "full");
    const auto untouched = [&] {
        EXPECT_EQ(fieldText(desktop), entryText);
        const std::string dump = dumpClipboard(desktop);
        EXPECT_EQ(ownerOf(dump), owner.pid);
        EXPECT_EQ(contents(dump), owner.offered);
    };
    {
        SCOPED_TRACE("no X display");
        const harness::Run run =
            runHelper(desktop, "insert", insertRequest(desktop.appPid(), "x", "afterSelection"),
                      {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", "wayland-1"}});
        const json reply = replyOf(run);
        EXPECT_EQ(reply["error"], "internal");
        EXPECT_EQ(reply["detail"],
                  "there is no X11 display: insert pastes with X11 key events (XTest), which "
                  "reach X11 and XWayland windows only");
        EXPECT_LT(run.elapsedMs, 2000);
        untouched();
    }
    {
        SCOPED_TRACE("a Wayland application");
        const pid_t wayland = desktop.launch({"sleep", "600"});
        const harness::Run run =
            runHelper(desktop, "insert", insertRequest(wayland, "x", "afterSelection"),
                      {{"WAYLAND_DISPLAY", "wayland-1"}});
        const json reply = replyOf(run);
        EXPECT_EQ(reply["error"], "internal");
        EXPECT_EQ(reply["detail"],
                  "the target has no X11 window (a Wayland application): insert pastes with X11 "
                  "key events, which reach X11 and XWayland windows only");
        EXPECT_LT(run.elapsedMs, 2000);
        untouched();
    }
    {
        SCOPED_TRACE("an X11 application in a Wayland session");
        const json reply = replyOf(
            runHelper(desktop, "insert", insertRequest(desktop.appPid(), " x", "afterSelection"),
                      {{"WAYLAND_DISPLAY", "wayland-1"}}));
        EXPECT_EQ(reply["verified"], "yes") << reply;
        expectKept(desktop, owner);
    }
}

bool alive(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return false;
    }
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

// The program a terminal runs: its one child.
pid_t childOf(pid_t pid) {
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                           "/children");
    pid_t child = -1;
    children >> child;
    return child;
}

TEST(LinuxProbe, InATerminalNothingIsPressedAndItsSelectionIsRead) {
    // The GTK window owns PRIMARY with a selection of its own; the terminal comes in front of it.
    Desktop desktop("selection", Options{true, {}});
    const Owner owner = own(desktop, "full");
    const std::string go = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                           "/larkspin-probe-" + std::to_string(getpid());
    std::remove(go.c_str());
    // Once told, the program selects two words as a terminal program may (OSC 52 to PRIMARY),
    // then runs on in the foreground, as an interrupt would end it.
    const pid_t terminal =
        desktop.launch({"xterm", "-xrm", "XTerm.vt100.allowWindowOps: true", "-e", "sh", "-c",
                        "while [ ! -e " + go +
                            " ]; do sleep 0.01; done; printf '\\033]52;p;%s\\007' "
                            "\"$(printf 'selected words' | base64)\"; exec sleep 600"});
    ASSERT_EQ(awaitFront(desktop, terminal, seconds(30))["app"]["pid"], terminal);
    const pid_t program = childOf(terminal);
    ASSERT_GT(program, 0);
    const auto clipboardAsItWas = [&] {
        const std::string dump = dumpClipboard(desktop);
        EXPECT_EQ(ownerOf(dump), owner.pid);
        EXPECT_EQ(contents(dump), owner.offered);
    };
    const json quiet = {{"ran", false}, {"changed", false}, {"restored", false}};

    // No selection in the terminal: PRIMARY is another window's, and nothing is pressed.
    const json before = replyOf(runHelper(desktop, "capture", json::object()));
    EXPECT_EQ(before["input"], json({{"kind", "none"}})) << before;
    EXPECT_EQ(before["probe"], quiet);
    EXPECT_TRUE(alive(program));
    clipboardAsItWas();

    std::ofstream(go).put('\n');
    json after;
    const auto end = std::chrono::steady_clock::now() + seconds(30);
    do {
        after = replyOf(runHelper(desktop, "capture", json::object()));
    } while (after["input"]["kind"] == "none" && std::chrono::steady_clock::now() < end);
    std::remove(go.c_str());
    EXPECT_EQ(after["input"], json({{"kind", "selection"},
                                    {"via", "copy"},
                                    {"text", "selected words"},
                                    {"truncated", false}}));
    EXPECT_EQ(after["probe"], quiet);
    EXPECT_TRUE(alive(program));
    clipboardAsItWas();
}

}  // namespace
