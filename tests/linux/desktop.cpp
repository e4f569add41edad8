// Starting and ending the headless desktop. Every process of it, including the ones D-Bus
// activates, runs in one process group, so that one signal ends it all, even after a failed test.
#include "desktop.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace linuxdesktop {

namespace {

// Bounds on a busy machine, not expectations: start-up takes well under a second here.
constexpr auto startLimit = std::chrono::seconds(30);

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& extra) {
    std::vector<std::string> all;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string line(*entry);
        const std::string name = line.substr(0, line.find('='));
        if (extra.count(name) == 0 && name != "AT_SPI_BUS_ADDRESS" && name != "NO_AT_BRIDGE") {
            all.push_back(line);
        }
    }
    for (const auto& [name, value] : extra) {
        if (!value.empty()) {  // an empty value removes the variable
            all.push_back(name + "=" + value);
        }
    }
    return all;
}

// Starts the program in the group (a new one when group is -1) with the given descriptors
// standing at 1 and 2 and `passFd` kept open as itself.
pid_t start(const std::vector<std::string>& argv, const std::vector<std::string>& env, pid_t group,
            int out, int err, int passFd = -1) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : env) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        setpgid(0, group < 0 ? 0 : group);
        // A test that crashes takes its desktop with it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(out >= 0 ? out : null, 1);
        dup2(err >= 0 ? err : null, 2);
        for (int fd = 3; fd < 256; ++fd) {
            if (fd != passFd) {
                close(fd);
            }
        }
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    setpgid(pid, group < 0 ? pid : group);  // both sides, so neither races the other
    return pid;
}

// Reads from the descriptor until the text holds `wanted` (or a line, when empty), or the limit.
std::string readUntil(int fd, const std::string& wanted) {
    std::string text;
    const auto limit = std::chrono::steady_clock::now() + startLimit;
    while (std::chrono::steady_clock::now() < limit) {
        const bool done = wanted.empty() ? text.find('\n') != std::string::npos
                                         : text.find(wanted) != std::string::npos;
        if (done) {
            break;
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) {
            continue;
        }
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// The accessibility bus and its registry, started as a client's first question starts them: the
// session bus activates the bus launcher, the accessibility bus the registry. dbus-send waits
// for each answer, and so for each service to be up.
void startRegistry(const std::vector<std::string>& env) {
    const auto ask = [&](const std::vector<std::string>& argv) {
        int out[2];
        if (pipe(out) != 0) {
            throw std::runtime_error("no pipe");
        }
        const pid_t pid = start(argv, env, -1, out[1], -1);
        close(out[1]);
        std::string said;
        char buffer[512];
        for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
            said.append(buffer, static_cast<std::size_t>(n));
        }
        close(out[0]);
        waitpid(pid, nullptr, 0);
        return said;
    };
    const std::string reply =
        ask({"dbus-send", "--session", "--print-reply=literal", "--reply-timeout=20000",
             "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"});
    const auto from = reply.find_first_not_of(" \n");
    const auto to = reply.find_last_not_of(" \n");
    if (from == std::string::npos) {
        throw std::runtime_error("the accessibility bus did not start");
    }
    ask({"dbus-send", "--bus=" + reply.substr(from, to - from + 1), "--print-reply",
         "--reply-timeout=20000", "--dest=org.a11y.atspi.Registry",
         "/org/a11y/atspi/accessible/root", "org.a11y.atspi.Accessible.GetChildren"});
}

}  // namespace

App gtk3App(const std::string& focus) {
    App app;
    app.argv = {LARKSPIN_GTK_TEST_APP, focus};
    return app;
}

namespace {

App withOptions(App app, const Options& options) {
    app.windowManager = options.windowManager;
    app.layout = options.layout;
    return app;
}

}  // namespace

Desktop::Desktop(const std::string& focus, const Options& options)
    : Desktop(withOptions(gtk3App(focus), options)) {}

Desktop::Desktop(const App& app) {
    char folder[] = "/tmp/larkspin-desktop.XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        throw std::runtime_error("no temporary folder");
    }
    runtimeDir_ = folder;  // mkdtemp makes it mode 700, as XDG_RUNTIME_DIR must be
    try {
        const auto base = environmentWith({{"XDG_RUNTIME_DIR", runtimeDir_}});

        int xPipe[2];
        if (pipe(xPipe) != 0) {
            throw std::runtime_error("no pipe");
        }
        // -noreset: the server keeps the root window's properties (the accessibility bus's
        // address among them) and the layout a test set when its last client leaves.
        const pid_t x = start({"Xvfb", "-displayfd", std::to_string(xPipe[1]), "-screen", "0",
                               "1024x768x24", "-nolisten", "tcp", "-noreset"},
                              base, -1, -1, -1, xPipe[1]);
        group_ = x;
        children_.push_back(x);
        close(xPipe[1]);
        const std::string number = firstLine(readUntil(xPipe[0], ""));
        close(xPipe[0]);
        if (number.empty()) {
            throw std::runtime_error("Xvfb did not start");
        }
        display_ = ":" + number;

        int busPipe[2];
        if (pipe(busPipe) != 0) {
            throw std::runtime_error("no pipe");
        }
        const auto withDisplay =
            environmentWith({{"XDG_RUNTIME_DIR", runtimeDir_}, {"DISPLAY", display_}});
        children_.push_back(start({"dbus-daemon", "--session", "--nofork",
                                   "--print-address=" + std::to_string(busPipe[1])},
                                  withDisplay, group_, -1, -1, busPipe[1]));
        close(busPipe[1]);
        busAddress_ = firstLine(readUntil(busPipe[0], ""));
        close(busPipe[0]);
        if (busAddress_.empty()) {
            throw std::runtime_error("dbus-daemon did not start");
        }
        prepare(app);

        std::map<std::string, std::string> session{{"XDG_RUNTIME_DIR", runtimeDir_},
                                                   {"DISPLAY", display_},
                                                   {"DBUS_SESSION_BUS_ADDRESS", busAddress_},
                                                   {"GSETTINGS_BACKEND", "memory"}};
        if (app.wayland) {
            children_.push_back(start({"weston", "--backend=x11-backend.so", "--use-pixman",
                                       std::string("--socket=") + waylandSocket, "--idle-time=0"},
                                      environmentWith(session), group_, -1, -1));
            // Ready once its socket is there.
            const std::string socket = runtimeDir_ + "/" + waylandSocket;
            const auto limit = std::chrono::steady_clock::now() + startLimit;
            while (!std::filesystem::exists(socket)) {
                if (std::chrono::steady_clock::now() > limit) {
                    throw std::runtime_error("weston did not start");
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            session["WAYLAND_DISPLAY"] = waylandSocket;
            session["GDK_BACKEND"] = "wayland";
            session["DISPLAY"] = "";
        }
        if (app.registryFirst) {
            startRegistry(environmentWith(session));
        }
        int appPipe[2];
        if (pipe(appPipe) != 0) {
            throw std::runtime_error("no pipe");
        }
        const std::string errors = runtimeDir_ + "/app.err";
        const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::map<std::string, std::string> appEnv = session;
        for (const auto& [name, value] : app.env) {
            appEnv[name] = value;
        }
        appEnv_ = environmentWith(appEnv);
        app_ = start(app.argv, appEnv_, group_, appPipe[1], err);
        children_.push_back(app_);
        close(appPipe[1]);
        close(err);
        if (app.readyWord.empty()) {
            close(appPipe[0]);  // the test itself waits for what it needs
            return;
        }
        std::string said = readUntil(appPipe[0], app.readyWord);
        if (said.find(app.readyWord) != std::string::npos && said.find('\n') == std::string::npos) {
            said += readUntil(appPipe[0], "");
        }
        ready_ = said.substr(std::min(said.find(app.readyWord), said.size()));
        ready_ = firstLine(ready_);
        close(appPipe[0]);
        if (said.find(app.readyWord) == std::string::npos) {
            std::ifstream in(errors);
            const std::string text((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
            throw std::runtime_error("the test application did not get ready (" + app.argv.back() +
                                     "): " + text);
        }
    } catch (...) {
        stop();
        throw;
    }
}

Desktop::~Desktop() {
    stop();
}

// The layout is set, and the window manager manages, before the application maps its window.
void Desktop::prepare(const App& app) {
    if (!app.layout.empty()) {
        std::vector<std::string> argv = {"setxkbmap", "-display", display_};
        argv.insert(argv.end(), app.layout.begin(), app.layout.end());
        const pid_t setter = launch(argv);
        int status = -1;
        const auto limit = std::chrono::steady_clock::now() + startLimit;
        while (waitpid(setter, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::erase(children_, setter);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            throw std::runtime_error("setxkbmap failed");
        }
    }
    if (app.windowManager) {
        // openbox runs its start-up command once it manages the screen: a line in a FIFO.
        const std::string fifo = runtimeDir_ + "/wm-started";
        if (mkfifo(fifo.c_str(), 0600) != 0) {
            throw std::runtime_error("no FIFO");
        }
        // Held open for writing too, so that reading it never sees an end before the line.
        const int started = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
        launch({"openbox", "--sm-disable", "--startup", "sh -c 'echo started > " + fifo + "'"});
        const std::string said = readUntil(started, "started");
        close(started);
        if (said.find("started") == std::string::npos) {
            throw std::runtime_error("openbox did not start");
        }
    }
}

pid_t Desktop::launch(const std::vector<std::string>& argv, int out, int err) {
    // Once the application runs, with its environment; before, with the session's.
    const pid_t pid =
        start(argv,
              !appEnv_.empty() ? appEnv_
                               : environmentWith({{"XDG_RUNTIME_DIR", runtimeDir_},
                                                  {"XDG_CONFIG_HOME", runtimeDir_},
                                                  {"XDG_CACHE_HOME", runtimeDir_},
                                                  {"DISPLAY", display_},
                                                  {"DBUS_SESSION_BUS_ADDRESS", busAddress_},
                                                  {"GSETTINGS_BACKEND", "memory"}}),
              group_, out, err);
    children_.push_back(pid);
    return pid;
}

void Desktop::stop() {
    if (group_ > 0) {
        // SIGTERM first, so that Xvfb removes its lock file and socket; then what is left.
        kill(-group_, SIGCONT);  // a stopped application must be able to die
        kill(-group_, SIGTERM);
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!children_.empty() && std::chrono::steady_clock::now() < limit) {
            std::erase_if(children_,
                          [](pid_t child) { return waitpid(child, nullptr, WNOHANG) != 0; });
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        kill(-group_, SIGKILL);
    }
    for (const pid_t child : children_) {
        waitpid(child, nullptr, 0);
    }
    children_.clear();
    group_ = -1;
    if (!runtimeDir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(runtimeDir_, ignored);
        runtimeDir_.clear();
    }
}

std::map<std::string, std::string> Desktop::env() const {
    return {{"DISPLAY", display_},
            {"DBUS_SESSION_BUS_ADDRESS", busAddress_},
            {"XDG_RUNTIME_DIR", runtimeDir_},
            {"AT_SPI_BUS_ADDRESS", ""},
            {"LARKSPIN_ATSPI_TRACE", runtimeDir_ + "/trace"}};
}

void Desktop::enter(bool traced) const {
    for (const auto& [name, value] : env()) {
        if (name == "LARKSPIN_ATSPI_TRACE" && !traced) {
            continue;
        }
        if (value.empty()) {
            unsetenv(name.c_str());
        } else {
            setenv(name.c_str(), value.c_str(), 1);
        }
    }
}

std::vector<std::string> Desktop::trace() const {
    std::ifstream in(runtimeDir_ + "/trace");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace linuxdesktop
