// Handing the clipboard to a keeper, and the keeper itself. The helper starts it in a session of
// its own (a signal to the parent's process group does not reach it), with the targets on its
// standard input, /dev/null for output (a parent reads the helper's output to its end, which a
// keeper holding it would never let come), and a pipe on descriptor 3 on which it says, once,
// whether it owns CLIPBOARD.
#include "keeper.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include "selection.h"
#include "xlink.h"

extern char** environ;

namespace platform::x11 {

namespace {

// Start-up of the keeper (exec, the targets read, a connection, one round trip) takes a few
// milliseconds; this bounds a machine that is stalled.
constexpr auto handOverWait = std::chrono::seconds(2);
constexpr int readyFd = 3;
constexpr std::string_view magic = "LARKSPIN-KEEPER 1\n";

// Writes everything or gives up at the deadline; the descriptor is non-blocking.
bool writeAll(int fd, const char* data, std::size_t size, Clock::time_point deadline) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd out{fd, POLLOUT, 0};
        ::poll(&out, 1, static_cast<int>(left));
    }
    return true;
}

std::string counted(const std::string& text) {
    return std::to_string(text.size()) + " " + text + "\n";
}

// Reads a decimal number and the one separator after it.
bool number(std::string_view& in, unsigned long long& value) {
    const auto [end, error] = std::from_chars(in.data(), in.data() + in.size(), value);
    if (error != std::errc() || end == in.data() + in.size()) {
        return false;
    }
    in.remove_prefix(static_cast<std::size_t>(end - in.data()) + 1);
    return true;
}

bool piece(std::string_view& in, std::size_t size, std::string& out) {
    if (in.size() < size) {
        return false;
    }
    out.assign(in.data(), size);
    in.remove_prefix(size);
    return true;
}

bool text(std::string_view& in, std::string& out) {
    unsigned long long size = 0;
    if (!number(in, size) || !piece(in, size, out) || in.empty()) {
        return false;
    }
    in.remove_prefix(1);
    return true;
}

struct Handed {
    Time ownedAt = CurrentTime;
    std::vector<KeptTarget> targets;
};

std::optional<Handed> parse(std::string_view in) {
    if (in.substr(0, magic.size()) != magic) {
        return std::nullopt;
    }
    in.remove_prefix(magic.size());
    Handed handed;
    unsigned long long time = 0;
    unsigned long long count = 0;
    if (!number(in, time) || !number(in, count)) {
        return std::nullopt;
    }
    handed.ownedAt = static_cast<Time>(time);
    for (unsigned long long i = 0; i < count; ++i) {
        KeptTarget target;
        unsigned long long format = 0;
        unsigned long long size = 0;
        std::string bytes;
        if (!text(in, target.target) || !text(in, target.type) || !number(in, format) ||
            !number(in, size) || !piece(in, size, bytes)) {
            return std::nullopt;
        }
        target.format = static_cast<int>(format);
        target.bytes = std::make_shared<const std::string>(std::move(bytes));
        handed.targets.push_back(std::move(target));
    }
    return handed;
}

std::string readAll(int fd) {
    std::string all;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            all.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            return all;
        }
    }
}

}  // namespace

bool handOver(const std::vector<KeptTarget>& targets, Time ownedAt) {
    const auto deadline = Clock::now() + handOverWait;
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return false;
    }
    self[length] = '\0';
    int data[2];
    int ready[2];
    if (::pipe2(data, O_CLOEXEC) != 0) {
        return false;
    }
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        ::close(data[0]);
        ::close(data[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, data[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ready[1], readyFd);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGTERM, SIGPIPE, SIGINT, SIGHUP}) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::string word = keeperWord;
    char* argv[] = {self, word.data(), nullptr};
    pid_t keeper = -1;
    const int spawned = ::posix_spawn(&keeper, self, &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(data[0]);
    ::close(ready[1]);
    bool owns = false;
    if (spawned == 0) {
        ::fcntl(data[1], F_SETFL, O_NONBLOCK);
        const std::string head = std::string(magic) + std::to_string(ownedAt) + "\n" +
                                 std::to_string(targets.size()) + "\n";
        bool written = writeAll(data[1], head.data(), head.size(), deadline);
        for (const KeptTarget& target : targets) {
            const std::string about = counted(target.target) + counted(target.type) +
                                      std::to_string(target.format) + "\n" +
                                      std::to_string(target.bytes->size()) + "\n";
            written = written && writeAll(data[1], about.data(), about.size(), deadline) &&
                      writeAll(data[1], target.bytes->data(), target.bytes->size(), deadline);
        }
        ::close(data[1]);
        data[1] = -1;
        for (;;) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd answer{ready[0], POLLIN, 0};
            if (!written || left <= 0 || ::poll(&answer, 1, static_cast<int>(left)) == 0) {
                break;
            }
            char said = 0;
            const ssize_t got = ::read(ready[0], &said, 1);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            owns = got == 1 && said == '1';
            break;
        }
    }
    if (data[1] >= 0) {
        ::close(data[1]);
    }
    ::close(ready[0]);
    return owns;
}

void keep() {
    onConnectionLost([] { _exit(0); });
    // Nothing of the parent's is kept open but what was handed on purpose.
    ::close_range(readyFd + 1, ~0U, 0);
    const std::optional<Handed> handed = parse(readAll(0));
    const int null = ::open("/dev/null", O_RDONLY);
    ::dup2(null, 0);
    ::close(null);
    const auto say = [](char what) {
        [[maybe_unused]] const ssize_t ignored = ::write(readyFd, &what, 1);
        ::close(readyFd);
    };
    if (!handed) {
        say('0');
        _exit(0);
    }
    const std::unique_ptr<Link> link = openLink("larkspin-helper clipboard keeper");
    if (!link) {
        say('0');
        _exit(0);
    }
    Display* display = link->display;
    const Atom clipboard = intern(display, "CLIPBOARD");
    Server server(display, link->window, clipboard);
    std::vector<Served> served;
    for (const KeptTarget& target : handed->targets) {
        served.push_back(Served{intern(display, target.target.c_str()),
                                intern(display, target.type.c_str()), target.format, target.bytes});
    }
    // With the helper's own time: somebody who wrote after the helper took it keeps theirs.
    XSetSelectionOwner(display, clipboard, link->window, handed->ownedAt);
    const bool owns = XGetSelectionOwner(display, clipboard) == link->window;
    say(owns ? '1' : '0');
    if (!owns) {
        _exit(0);
    }
    server.owned(handed->ownedAt);
    server.serve(std::move(served));
    const int socket = ConnectionNumber(display);
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            server.handle(event);
        }
        server.expire(Clock::now());
        // Another client took CLIPBOARD: what is still being handed over is finished first, and
        // the server has done all this process asked (it may drop what a closed connection sent
        // last: the empty part that ends a transfer).
        if (!server.owns() && !server.transferring()) {
            XSync(display, False);
            _exit(0);
        }
        pollfd wake{socket, POLLIN, 0};
        ::poll(&wake, 1, 1000);
    }
}

}  // namespace platform::x11
