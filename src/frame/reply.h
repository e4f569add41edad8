// The reply channel: the one way out of the process. Every run writes exactly one JSON line;
// exitLock decides which thread writes it when the command and the watchdog both try.
#pragma once

#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace frame {

using Json = nlohmann::json;

// Taken for every reply and never released after; guarded bodies hold it briefly.
extern std::mutex exitLock;

// The serialised reply line with its line feed, or the fallback line when the object holds a
// non-finite number or text that is not UTF-8.
std::string replyLine(const Json& object);

// Precondition: the calling thread holds exitLock. Writes the line and ends the process, status 0.
[[noreturn]] void emit(const Json& object);

// Takes exitLock, then emits.
[[noreturn]] void reply(const Json& object);

// The error reply {"ok":false,"error":code} with "detail" only when one is given.
[[noreturn]] void fail(const std::string& code, const std::optional<std::string>& detail = {});

// A reply value that is present with null when absent, rather than missing.
template <class T>
Json orNull(const std::optional<T>& value) {
    return value ? Json(*value) : Json(nullptr);
}

// Runs the body while holding exitLock, so that a watchdog reply sees all of it or none of it.
// The body must not reply, take exitLock or call guarded: the lock is not recursive.
template <class Body>
auto guarded(Body&& body) {
    std::lock_guard<std::mutex> hold(exitLock);
    return body();
}

}  // namespace frame
