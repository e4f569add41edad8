// A program that holds the exit lock across a 0 ms deadline, so that a test sees which of the
// two replies wins: `reply` holds it for its own reply, `guarded` for a guarded section, which
// the watchdog's reply must wait for.
#include <chrono>
#include <cstring>
#include <thread>

#include "frame/reply.h"
#include "frame/watchdog.h"

int main(int argc, char** argv) {
    const bool guardedSection = argc > 1 && std::strcmp(argv[1], "guarded") == 0;
    const auto hold = std::chrono::milliseconds(300);
    if (guardedSection) {
        // Armed inside the section: armed before it, the watchdog could answer before the
        // section began, and the test would see nothing waited for.
        frame::guarded([&] {
            frame::armDeadline(0, nullptr);
            std::this_thread::sleep_for(hold);
        });
        std::this_thread::sleep_for(10 * hold);  // the watchdog answers meanwhile
        frame::reply({{"ok", true}, {"version", 4}});
    }
    frame::exitLock.lock();
    frame::armDeadline(0, nullptr);
    std::this_thread::sleep_for(hold);
    frame::emit({{"ok", true}, {"version", 4}});
}
