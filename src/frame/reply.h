// The reply channel: the one way out of the process. Every run writes exactly one JSON line;
// exitLock decides which thread writes it when the command and the watchdog both try.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace frame {

using Json = nlohmann::json;

// exitLock is taken for every reply and never released after; guarded bodies hold it briefly.
// It is taken only here, so that the thread holding it is known.

// Takes exitLock for good, unless this thread holds it already: a platform service that fails
// inside a guarded body, or inside the watchdog's give-back, ends the command with its own
// reply instead of waiting forever on a lock its own thread holds.
void holdExitLock();

// Holds exitLock for a guarded body's lifetime; within a hold of the same thread it adds none.
class GuardedSection {
  public:
    GuardedSection();
    ~GuardedSection();
    GuardedSection(const GuardedSection&) = delete;
    GuardedSection& operator=(const GuardedSection&) = delete;

  private:
    bool tookLock = false;
};

// The serialised reply line with its line feed, or the fallback line when the object holds a
// non-finite number or text that is not UTF-8.
std::string replyLine(const Json& object);

// Precondition: the calling thread holds exitLock. Writes the line and ends the process, status 0.
[[noreturn]] void emit(const Json& object);

// Takes exitLock (see holdExitLock), then emits.
[[noreturn]] void reply(const Json& object);

// The error reply {"ok":false,"error":code} with "detail" only when one is given.
[[noreturn]] void fail(const std::string& code, const std::optional<std::string>& detail = {});

// A reply value that is present with null when absent, rather than missing.
template <class T>
Json orNull(const std::optional<T>& value) {
    return value ? Json(*value) : Json(nullptr);
}

// Runs the body while holding exitLock, so that a watchdog reply sees all of it or none of it.
// A reply from inside the body ends the process at once, with whatever the body had done.
template <class Body>
auto guarded(Body&& body) {
    const GuardedSection hold;
    return body();
}

}  // namespace frame
