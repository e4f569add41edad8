// What every request fuzz target checks: the bytes decode into the command's record, or into the
// one "badRequest" reply the frame would write, and that reply serialises as valid JSON with the
// whole detail in it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "frame/intake.h"
#include "frame/reply.h"
#include "text/utf8.h"

namespace fuzzcheck {

// A broken invariant: libFuzzer keeps the input that got here. `what` is for the reader.
[[noreturn]] inline void finding(const char* what) {
    (void)what;
    __builtin_trap();
}

template <class Record>
void checkRequest(const std::uint8_t* data, std::size_t size, Record (*decode)(parse::Value&)) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    parse::Buffer bytes;
    std::copy(input.begin(), input.end(), bytes.room(input.size()));
    bytes.added(input.size());
    const auto decoded = frame::decodeBytes(std::move(bytes), decode);
    const auto* detail = std::get_if<std::string>(&decoded);
    if (detail == nullptr) {
        return;  // a record: decoding it did not crash, leak or throw
    }
    if (detail->empty() || !text::isValidUtf8(*detail)) {
        finding("a badRequest detail that is empty or not UTF-8");
    }
    const frame::Json reply = {{"ok", false}, {"error", "badRequest"}, {"detail", *detail}};
    const std::string line = frame::replyLine(reply);
    const frame::Json back = nlohmann::json::parse(line, nullptr, false);
    if (back.is_discarded() || back != reply) {
        finding("a badRequest reply that does not serialise to itself");
    }
}

}  // namespace fuzzcheck
