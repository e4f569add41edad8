// Serialising and writing the reply line, and ending the process.
#include "frame/reply.h"

#include <cerrno>
#include <cmath>
#include <mutex>
#include <unistd.h>
#include <vector>

#include "platform/process.h"

namespace frame {

namespace {

std::mutex exitLock;
thread_local bool holdingExitLock = false;

constexpr const char* fallbackLine =
    "{\"ok\":false,\"error\":\"internal\",\"detail\":\"reply not serializable\"}\n";

// nlohmann writes NaN and infinities as null; the protocol calls such a reply unserialisable.
// Walked with an explicit stack: reply objects are shallow, but nothing here should recurse.
bool holdsNonFinite(const Json& object) {
    std::vector<const Json*> pending{&object};
    while (!pending.empty()) {
        const Json* value = pending.back();
        pending.pop_back();
        if (value->is_number_float() && !std::isfinite(value->get<double>())) {
            return true;
        }
        if (value->is_structured()) {
            for (const Json& child : *value) {
                pending.push_back(&child);
            }
        }
    }
    return false;
}

void writeAll(const std::string& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count =
            ::write(STDOUT_FILENO, bytes.data() + written, bytes.size() - written);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            return;
        }
    }
}

}  // namespace

std::string replyLine(const Json& object) {
    if (holdsNonFinite(object)) {
        return fallbackLine;
    }
    try {
        return object.dump(-1, ' ', false, Json::error_handler_t::strict) + "\n";
    } catch (const Json::exception&) {
        return fallbackLine;
    }
}

void emit(const Json& object) {
    const std::string line = replyLine(object);
    platform::beforeExit();
    writeAll(line);
    // Not exit(): the watchdog or the desktop's threads may still run, and static destructors
    // would race with them.
    _exit(0);
}

void holdExitLock() {
    if (!holdingExitLock) {
        exitLock.lock();
        holdingExitLock = true;
    }
}

GuardedSection::GuardedSection() : tookLock(!holdingExitLock) {
    holdExitLock();
}

GuardedSection::~GuardedSection() {
    if (tookLock) {
        holdingExitLock = false;
        exitLock.unlock();
    }
}

void reply(const Json& object) {
    holdExitLock();
    emit(object);
}

void fail(const std::string& code, const std::optional<std::string>& detail) {
    Json object = {{"ok", false}, {"error", code}};
    if (detail) {
        object["detail"] = *detail;
    }
    reply(object);
}

}  // namespace frame
