// The objects behind the platform handles on Linux: an element is an accessible object on the
// accessibility bus (or the application or system-wide stand-in), a running application a pid.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "bus.h"
#include "platform/types.h"

namespace platform {

// AX's own default (kAXDefaultMessagingTimeout is 6 s); the core sets its own on every handle.
inline constexpr int defaultMessagingTimeoutMs = 6000;

struct ElementObject {
    enum class Kind { systemWide, application, accessible };

    ElementObject(Kind kind, atspi::Ref ref, Pid pid) : kind(kind), ref(std::move(ref)), pid(pid) {}

    const Kind kind;
    std::atomic<int> timeoutMs{defaultMessagingTimeoutMs};

    // An application's root is looked up on first use, with the time-out then set; an
    // accessible's pid likewise. The role and the interfaces never change for an object, so
    // they are asked once.
    std::mutex mutex;
    atspi::Ref ref;
    Pid pid = 0;
    std::optional<std::uint32_t> role;
    std::optional<std::vector<std::string>> interfaces;
    // The last whole text fetched and its character count, which tells whether it still holds,
    // and the last place an offset was converted at in it (byte, code points, UTF-16 units),
    // from which the next conversion goes on.
    std::shared_ptr<const std::string> text;
    std::int32_t textCount = -1;
    std::array<std::int64_t, 3> textMark{0, 0, 0};
};

struct RunningApplicationObject {
    explicit RunningApplicationObject(Pid pid) : pid(pid) {}
    const Pid pid;
};

}  // namespace platform
