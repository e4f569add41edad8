// Asking the kernel about a process.
#include "process_alive.h"

#include <cerrno>
#include <signal.h>

namespace platform::macos {

bool processExists(Pid pid) {
    if (pid <= 0) {
        return false;  // 0 and negative numbers name process groups, not a process
    }
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace platform::macos
