// posix_spawn with three pipes, fed and drained with poll() so that neither side can block.
#include "process/harness.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "process/schema.h"

extern char** environ;

namespace harness {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string line(*entry);
        const std::string name = line.substr(0, line.find('='));
        if (changes.count(name) == 0) {
            result.push_back(line);
        }
    }
    for (const auto& [name, value] : changes) {
        if (!value.empty()) {
            result.push_back(name + "=" + value);
        }
    }
    return result;
}

// Every pipe a run makes is close-on-exec, or a child that another thread spawns at the same moment
// would inherit this run's ends, and this run would see its own end of output only when that
// child ends. macOS has no pipe2: the pipes are made and marked under the lock every spawn takes,
// so no spawn falls between the two.
std::mutex spawnLock;

bool closeOnExecPipe(int (&fds)[2]) {
    if (::pipe(fds) != 0) {
        return false;
    }
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
    return true;
}

void drain(int fd, std::string& into, bool& open) {
    char buffer[65536];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count > 0) {
        into.append(buffer, static_cast<std::size_t>(count));
    } else if (count == 0 || errno != EINTR) {
        open = false;
    }
}

}  // namespace

nlohmann::json Run::reply() const {
    if (lines() != 1 || out.back() != '\n') {
        return nullptr;
    }
    nlohmann::json parsed = nlohmann::json::parse(out, nullptr, false);
    // Every reply a test reads must be one the protocol's schema allows.
    if (const auto violation = schema::replies().check(parsed)) {
        throw std::runtime_error("reply outside docs/reply.schema.json: " + *violation + " in " +
                                 out);
    }
    return parsed;
}

int Run::lines() const {
    int count = 0;
    for (const char c : out) {
        count += c == '\n' ? 1 : 0;
    }
    return count;
}

Run run(const Options& options) {
    int in[2];
    int out[2];
    int err[2];
    {
        const std::lock_guard<std::mutex> lock(spawnLock);
        if (!closeOnExecPipe(in) || !closeOnExecPipe(out) || !closeOnExecPipe(err)) {
            throw std::runtime_error("pipe failed");
        }
    }
    std::vector<std::string> args{options.program};
    args.insert(args.end(), options.args.begin(), options.args.end());
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> env = environmentWith(options.env);
    std::vector<char*> envp;
    for (auto& entry : env) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    // posix_spawn rather than fork: the soak starts children from several threads at once.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    if (options.closeStdout) {
        posix_spawn_file_actions_addclose(&actions, 1);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t mask;
    sigemptyset(&mask);
    if (options.blockTerminate) {
        sigaddset(&mask, SIGTERM);
    }
    posix_spawnattr_setsigmask(&attributes, &mask);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    const Clock::time_point start = Clock::now();
    pid_t child = -1;
    int spawned = 0;
    {
        const std::lock_guard<std::mutex> lock(spawnLock);
        spawned = ::posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), envp.data());
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        ::close(in[1]);
        ::close(out[0]);
        ::close(err[0]);
        Run failed;
        failed.status = 127;  // as a shell reports a program it cannot run
        return failed;
    }
    ::signal(SIGPIPE, SIG_IGN);
    ::fcntl(in[1], F_SETFL, O_NONBLOCK);

    Run result;
    std::size_t fed = 0;
    bool inputOpen = true;
    bool outOpen = true;
    bool errOpen = true;
    bool terminated = false;
    if (options.input.empty() && options.closeInput) {
        ::close(in[1]);
        inputOpen = false;
    }
    while (outOpen || errOpen) {
        const auto now = Clock::now();
        if (now - start > options.hardLimit) {
            ::kill(child, SIGKILL);
            break;
        }
        if (options.terminateAfter && !terminated && now - start >= *options.terminateAfter) {
            ::kill(child, SIGTERM);
            terminated = true;
        }
        pollfd fds[3] = {{outOpen ? out[0] : -1, POLLIN, 0},
                         {errOpen ? err[0] : -1, POLLIN, 0},
                         {inputOpen && fed < options.input.size() ? in[1] : -1, POLLOUT, 0}};
        ::poll(fds, 3, 5);
        if ((fds[0].revents & (POLLIN | POLLHUP)) != 0) {
            drain(out[0], result.out, outOpen);
        }
        if ((fds[1].revents & (POLLIN | POLLHUP)) != 0) {
            drain(err[0], result.err, errOpen);
        }
        if ((fds[2].revents & (POLLOUT | POLLERR)) != 0) {
            const ssize_t count =
                ::write(in[1], options.input.data() + fed, options.input.size() - fed);
            if (count > 0) {
                fed += static_cast<std::size_t>(count);
            } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
                fed = options.input.size();
            }
        }
        if (inputOpen && fed >= options.input.size() && options.closeInput) {
            ::close(in[1]);
            inputOpen = false;
        }
    }
    if (inputOpen) {
        ::close(in[1]);
    }
    int status = 0;
    rusage usage{};
    while (::wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
    }
#ifdef __APPLE__
    result.maxRssKb = usage.ru_maxrss / 1024;  // bytes there
#else
    result.maxRssKb = usage.ru_maxrss;
#endif
    result.elapsedMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    ::close(out[0]);
    ::close(err[0]);
    if (WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

Run command(const std::string& word, const std::string& input,
            const std::optional<std::string>& desktopPath) {
    Options options;
    options.args = {word};
    options.input = input;
    options.env["LARKSPIN_DESKTOP"] = desktopPath.value_or("");
    return run(options);
}

Desktop::Desktop(const nlohmann::json& desktop) {
    std::string pattern = "/tmp/larkspin-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    folder_ = pattern;
    path_ = folder_ + "/desktop.json";
    write(desktop);
}

Desktop::~Desktop() {
    ::unlink(path_.c_str());
    ::rmdir(folder_.c_str());
}

nlohmann::json Desktop::read() const {
    return readJsonFile(path_);
}

void Desktop::write(const nlohmann::json& desktop) const {
    std::ofstream(path_) << desktop.dump(2);
}

Run Desktop::run(const std::string& word, const nlohmann::json& request) const {
    return command(word, request.dump(), path_);
}

std::string example(const std::string& name) {
    return std::string(LARKSPIN_EXAMPLES_DIR) + "/" + name;
}

std::string readTextFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

nlohmann::json readJsonFile(const std::string& path) {
    return nlohmann::json::parse(readTextFile(path), nullptr, false);
}

}  // namespace harness
