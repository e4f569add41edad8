// A program that holds the exit lock across a 0 ms deadline, so that a test sees which reply wins:
// `reply` holds it for its own reply, `guarded` for a guarded section, which the watchdog's reply
// must wait for; `failsInside` fails inside a guarded section and `givingBackFails` inside the
// watchdog's give-back, as a platform service that goes away does, and each must still answer.
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "frame/reply.h"
#include "frame/watchdog.h"

namespace {

std::optional<bool> failingGiveBack() {
    frame::fail("internal", "gone while giving back");
}

}  // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "reply";
    const auto hold = std::chrono::milliseconds(300);
    if (std::strcmp(mode, "guarded") == 0 || std::strcmp(mode, "failsInside") == 0) {
        // Armed inside the section: armed before it, the watchdog could answer before the
        // section began, and the test would see nothing waited for.
        frame::guarded([&] {
            frame::armDeadline(0, nullptr);
            std::this_thread::sleep_for(hold);
            if (std::strcmp(mode, "failsInside") == 0) {
                frame::fail("internal", "gone inside");
            }
        });
        std::this_thread::sleep_for(10 * hold);  // the watchdog answers meanwhile
        frame::reply({{"ok", true}, {"version", 4}});
    }
    if (std::strcmp(mode, "givingBackFails") == 0) {
        frame::armDeadline(0, failingGiveBack);
        std::this_thread::sleep_for(10 * hold);
        frame::reply({{"ok", true}, {"version", 4}});
    }
    frame::holdExitLock();
    frame::armDeadline(0, nullptr);
    std::this_thread::sleep_for(hold);
    frame::emit({{"ok", true}, {"version", 4}});
}
