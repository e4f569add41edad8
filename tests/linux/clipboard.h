// The X11 clipboard of a test desktop as the tests see it, through their own client
// (clipboard_owner.c): owners to start, what the clipboard holds, the keeper behind it, and the
// helper run as its parent runs it.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include <nlohmann/json.hpp>

#include "desktop.h"
#include "helper_run.h"
#include "process/harness.h"

namespace linuxdesktop {

/// A program started on the desktop, with the read end of its standard output.
struct Started {
    pid_t pid = -1;
    std::string said;  // its output up to the word it was waited for
    int out = -1;

    Started() = default;
    Started(Started&& other) noexcept;
    Started& operator=(Started&& other) noexcept;
    ~Started();
};

/// Starts the program and waits until its output holds `word`; throws when it does not say it.
Started launchUntil(Desktop& desktop, const std::vector<std::string>& argv,
                    const std::string& word);

/// A clipboard owner of the tests' own, started by `own` once it owns CLIPBOARD.
struct Owner {
    Started process;
    pid_t pid = -1;
    std::string offered;  // what it serves, as `dumpClipboard` prints it without its first line
};

/// Starts `clipboard_owner own KIND` and waits until it owns CLIPBOARD; throws otherwise.
Owner own(Desktop& desktop, const std::string& kind);

/// What the clipboard holds: "owner PID" (or "owner none"), then the targets and each target's
/// type, format, size and hash.
std::string dumpClipboard(const Desktop& desktop);
/// Leaves CLIPBOARD without an owner, as an empty clipboard is.
void clearClipboard(const Desktop& desktop);
/// The process that owns CLIPBOARD, asked of the X server alone (an owner that answers
/// nothing costs nothing); 0 for none.
std::optional<pid_t> clipboardOwner(const Desktop& desktop);
/// The dump without its first line, to compare with what an owner offered.
std::string contents(const std::string& dump);
/// The process that owns CLIPBOARD, from a dump.
std::optional<pid_t> ownerOf(const std::string& dump);
/// Whether the process is the helper's clipboard keeper.
bool isKeeper(pid_t pid);
/// Waits for the process to end (any process, by its pidfd), at most `limit`.
bool awaitExit(pid_t pid, std::chrono::milliseconds limit);
/// Waits until the dump satisfies `wanted` (a dump every few milliseconds), at most `limit`;
/// the last dump.
template <class Wanted>
std::string awaitClipboard(const Desktop& desktop, std::chrono::milliseconds limit, Wanted wanted);

/// The focused field's text as a capture reads it through AT-SPI (no probe, nothing clipped).
std::optional<std::string> fieldText(const Desktop& desktop);
/// Captures (no probe) until the front application is `pid`, at most `limit`; the last reply.
nlohmann::json awaitFront(const Desktop& desktop, pid_t pid, std::chrono::milliseconds limit);

template <class Wanted>
std::string awaitClipboard(const Desktop& desktop, std::chrono::milliseconds limit, Wanted wanted) {
    const auto end = std::chrono::steady_clock::now() + limit;
    std::string dump = dumpClipboard(desktop);
    while (!wanted(dump) && std::chrono::steady_clock::now() < end) {
        dump = dumpClipboard(desktop);
    }
    return dump;
}

}  // namespace linuxdesktop
