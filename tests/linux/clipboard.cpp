// The tests' clipboard client at work, and the process bookkeeping around the keeper. The test
// process takes orphans as its own (a subreaper): a keeper outlives the helper that started it,
// and its exit is then this process's to collect.
#include "clipboard.h"

#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace linuxdesktop {

namespace {

// Bounds on a busy machine, not expectations.
constexpr auto startLimit = std::chrono::seconds(30);

[[maybe_unused]] const bool takesOrphans = [] { return prctl(PR_SET_CHILD_SUBREAPER, 1) == 0; }();

}  // namespace

Started::Started(Started&& other) noexcept
    : pid(std::exchange(other.pid, -1)),
      said(std::move(other.said)),
      out(std::exchange(other.out, -1)) {}

Started& Started::operator=(Started&& other) noexcept {
    std::swap(pid, other.pid);
    std::swap(said, other.said);
    std::swap(out, other.out);
    return *this;
}

Started::~Started() {
    if (out >= 0) {
        close(out);
    }
}

Started launchUntil(Desktop& desktop, const std::vector<std::string>& argv,
                    const std::string& word) {
    int pipe[2];
    if (pipe2(pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("no pipe");
    }
    static int launched = 0;
    const std::string errors = desktop.folder() + "/launched-" + std::to_string(++launched);
    const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Started started;
    started.pid = desktop.launch(argv, pipe[1], err);
    close(pipe[1]);
    close(err);
    started.out = pipe[0];
    std::string said;
    const auto end = std::chrono::steady_clock::now() + startLimit;
    while (said.find(word) == std::string::npos && std::chrono::steady_clock::now() < end) {
        pollfd p{started.out, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = read(started.out, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        said.append(buffer, static_cast<std::size_t>(n));
    }
    const auto at = said.find(word);
    if (at == std::string::npos) {
        std::ifstream in(errors);
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        throw std::runtime_error(argv.front() + " did not say " + word + ": " + said +
                                 "; its errors: " + text);
    }
    started.said = said.substr(0, at);
    return started;
}

Owner own(Desktop& desktop, const std::string& kind) {
    Started process = launchUntil(desktop, {LARKSPIN_CLIPBOARD_OWNER, "own", kind}, "ready\n");
    const pid_t pid = process.pid;
    std::string offered = process.said;
    return Owner{std::move(process), pid, std::move(offered)};
}

namespace {

std::string askClipboard(const Desktop& desktop, const char* what) {
    harness::Options options;
    options.program = LARKSPIN_CLIPBOARD_OWNER;
    options.args = {what};
    options.env = desktop.env();
    options.hardLimit = std::chrono::seconds(60);
    return harness::run(options).out;
}

}  // namespace

std::string dumpClipboard(const Desktop& desktop) {
    return askClipboard(desktop, "dump");
}

void clearClipboard(const Desktop& desktop) {
    askClipboard(desktop, "clear");
}

std::optional<pid_t> clipboardOwner(const Desktop& desktop) {
    return ownerOf(askClipboard(desktop, "owner"));
}

std::string contents(const std::string& dump) {
    const auto line = dump.find('\n');
    return line == std::string::npos ? std::string() : dump.substr(line + 1);
}

std::optional<pid_t> ownerOf(const std::string& dump) {
    if (dump.rfind("owner ", 0) != 0) {
        return std::nullopt;
    }
    try {
        return static_cast<pid_t>(std::stol(dump.substr(6)));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool isKeeper(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline");
    const std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return line.find("--larkspin-clipboard-keeper") != std::string::npos;
}

bool awaitExit(pid_t pid, std::chrono::milliseconds limit) {
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) {
        return errno == ESRCH;  // gone already
    }
    pollfd p{fd, POLLIN, 0};
    const bool ended = poll(&p, 1, static_cast<int>(limit.count())) > 0;
    close(fd);
    if (ended) {
        waitpid(pid, nullptr, WNOHANG);  // this process's orphan now, when it was the helper's
    }
    return ended;
}

nlohmann::json awaitFront(const Desktop& desktop, pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    nlohmann::json reply;
    do {
        reply = runHelper(desktop, "capture", {{"probe", false}}).reply();
    } while ((!reply.is_object() || reply["app"]["pid"] != pid) &&
             std::chrono::steady_clock::now() < end);
    return reply;
}

std::optional<std::string> fieldText(const Desktop& desktop) {
    const harness::Run run =
        runHelper(desktop, "capture", {{"probe", false}, {"maxChars", 100'000'000}});
    const nlohmann::json reply = run.reply();
    if (!reply.is_object() || !reply["field"].is_string()) {
        return std::nullopt;
    }
    return reply["field"].get<std::string>();
}

}  // namespace linuxdesktop
