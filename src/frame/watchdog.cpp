// The watchdog thread waits with poll() on a self-pipe that the SIGTERM handler writes, its
// time-out the deadline: one thread does the work of a timer and a signal source.
#include "frame/watchdog.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "frame/reply.h"
#include "platform/types.h"

namespace frame {

namespace {

using platform::Clock;

// What the armed watchdog holds until the process ends: the self-pipe. Its thread is detached
// and ends with the process.
struct DeadlineSources {
    int wakeRead = -1;
    int wakeWrite = -1;
};
DeadlineSources deadlineSources;

// Written once before the handler is installed, then only read by it.
volatile sig_atomic_t wakeFd = -1;

// Set before the watchdog's thread starts, then only read by it.
GiveBack giveBackOnGiveUp = nullptr;

extern "C" void onTerminate(int /*signal*/) {
    // Only async-signal-safe work: one non-blocking write; errno is the interrupted code's.
    const int saved = errno;
    const char byte = 'T';
    [[maybe_unused]] const ssize_t ignored = ::write(wakeFd, &byte, 1);
    errno = saved;
}

// The deadline, or none when now + ms does not fit the clock: a huge deadline never fires early.
std::optional<Clock::time_point> deadlineAfter(std::int64_t ms) {
    const Clock::time_point now = Clock::now();
    if (ms <= 0) {
        return now;
    }
    const auto room =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - now);
    if (ms >= room.count()) {
        return std::nullopt;
    }
    return now + std::chrono::milliseconds(ms);
}

int pollTimeout(const std::optional<Clock::time_point>& deadline) {
    if (!deadline) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
    if (left.count() <= 0) {
        return 0;
    }
    return left.count() > INT_MAX ? INT_MAX : static_cast<int>(left.count());
}

[[noreturn]] void watch(int wakeRead, std::optional<Clock::time_point> deadline, std::int64_t ms) {
    for (;;) {
        pollfd wake{wakeRead, POLLIN, 0};
        const int ready = ::poll(&wake, 1, pollTimeout(deadline));
        if (ready > 0 && (wake.revents & POLLIN) != 0) {
            giveUp("terminated");
        }
        if (ready < 0 && errno != EINTR) {
            ::usleep(10000);  // a failing poll() must not turn the wait into a busy loop
        }
        if (deadline && Clock::now() >= *deadline) {
            giveUp("deadline of " + std::to_string(ms) + " ms passed");
        }
    }
}

}  // namespace

void armDeadline(std::int64_t ms, GiveBack giveBack) {
    giveBackOnGiveUp = giveBack;
    // Ignored first: should the pipe below fail, SIGTERM still must not end the run silently.
    ::signal(SIGTERM, SIG_IGN);
    int fds[2] = {-1, -1};
    if (::pipe(fds) == 0) {
        ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
        ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
        deadlineSources = {fds[0], fds[1]};
        wakeFd = fds[1];

        // The handler replaces the default action, so SIGTERM no longer ends the process; a
        // signal that comes before the thread polls waits in the pipe instead of being lost.
        struct sigaction action {};
        action.sa_handler = onTerminate;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, nullptr);
    }
    // A parent may start the helper with SIGTERM blocked; threads made from here on inherit this.
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    ::pthread_sigmask(SIG_UNBLOCK, &term, nullptr);
    try {
        std::thread(watch, deadlineSources.wakeRead, deadlineAfter(ms), ms).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the command runs without its deadline and still answers itself,
        // which beats ending in std::terminate with text on standard error.
    }
}

void giveUp(const std::string& detail) {
    holdExitLock();
    Json object = {{"ok", false}, {"error", "timedOut"}, {"detail", detail}};
    if (giveBackOnGiveUp != nullptr) {
        if (const auto restored = giveBackOnGiveUp()) {
            object["restored"] = *restored;
        }
    }
    emit(object);
}

}  // namespace frame
