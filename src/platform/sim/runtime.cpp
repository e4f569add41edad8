// The current desktop and its lazy load. The process-wide lock here only guards which desktop is
// current; it is never taken while a desktop's own lock is held, and the unusable handler is
// called with no lock held, since it ends the process through paths that call back in here.
#include "platform/sim/runtime.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/process.h"
#include "platform/sim/demo_desktop.h"
#include "platform/sim/load.h"
#include "platform/sim/save.h"

namespace platform::sim {

namespace {

enum class State { notLoaded, loaded, failed };

struct Runtime {
    std::mutex mutex;
    State state = State::notLoaded;
    std::shared_ptr<Live> current;
    std::string failure;
    std::uint64_t generations = 0;
    std::atomic<UnusableHandler> handler{nullptr};
};

// Never destroyed: the desktop's thread and a late beforeExit may still use it while the
// process's static objects are being torn down.
Runtime& runtime() {
    static Runtime* const instance = new Runtime;
    return *instance;
}

std::shared_ptr<Live> makeLive(Desktop desktop, std::string path, std::uint64_t generation) {
    auto live = std::make_shared<Live>(std::move(desktop), std::move(path), generation);
    live->start();
    return live;
}

[[noreturn]] void reportUnusable(const std::string& detail) {
    if (const UnusableHandler handler = runtime().handler.load()) {
        handler(detail);
    }
    std::fprintf(stderr, "%s\n", detail.c_str());
    std::abort();
}

}  // namespace

std::shared_ptr<Live> acquire() {
    Runtime& r = runtime();
    std::string failure;
    {
        std::lock_guard lock(r.mutex);
        if (r.state == State::loaded) {
            return r.current;
        }
        if (r.state == State::notLoaded) {
            const char* path = std::getenv("LARKSPIN_DESKTOP");
            const bool fromFile = path != nullptr && *path != '\0';
            LoadOutcome outcome =
                fromFile ? loadDesktopFile(path) : loadDesktop(demoDesktopJson, "built-in demo");
            if (outcome.desktop) {
                r.current =
                    makeLive(std::move(*outcome.desktop), fromFile ? path : "", ++r.generations);
                r.state = State::loaded;
                return r.current;
            }
            r.state = State::failed;
            r.failure = std::move(outcome.detail);
        }
        failure = r.failure;
    }
    reportUnusable(failure);
}

std::optional<std::string> installDesktop(const std::string& text) {
    LoadOutcome outcome = loadDesktop(text, "<test>");
    if (!outcome.desktop) {
        return outcome.detail;
    }
    Runtime& r = runtime();
    std::shared_ptr<Live> previous;
    {
        std::lock_guard lock(r.mutex);
        previous = std::move(r.current);
        r.current = makeLive(std::move(*outcome.desktop), "", ++r.generations);
        r.state = State::loaded;
        r.failure.clear();
    }
    if (previous) {
        previous->stop();
    }
    return std::nullopt;
}

void resetDesktop() {
    Runtime& r = runtime();
    std::shared_ptr<Live> previous;
    {
        std::lock_guard lock(r.mutex);
        previous = std::move(r.current);
        r.state = State::notLoaded;
        r.failure.clear();
    }
    if (previous) {
        previous->stop();
    }
}

void saveCurrentDesktop() {
    Runtime& r = runtime();
    std::shared_ptr<Live> live;
    {
        std::lock_guard lock(r.mutex);
        if (r.state != State::loaded) {
            return;
        }
        live = r.current;
    }
    if (!live || live->path.empty()) {
        return;
    }
    std::string text;
    {
        std::lock_guard lock(live->mutex);
        live->carryOutLateReactions();
        text = live->serialize();
    }
    writeFileAtomically(live->path, text);
}

}  // namespace platform::sim

namespace platform {

void beforeExit() {
    sim::saveCurrentDesktop();
}

void onUnusable(UnusableHandler handler) {
    sim::runtime().handler.store(handler);
}

// The simulated desktop starts no process of its own.
void runBackendProcess(const std::string& /*word*/) {}

}  // namespace platform
