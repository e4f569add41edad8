// Running the copy probe.
#include "clipboard/probe.h"

#include "ax/poll.h"
#include "clipboard/keys.h"
#include "clipboard/snapshot.h"
#include "frame/reply.h"
#include "platform/pasteboard.h"

namespace clipboard {

namespace {

constexpr std::uint16_t ansiC = 8;

}  // namespace

Probe Probe::run(std::int64_t timeoutMs) {
    const platform::Pasteboard pasteboard = platform::generalPasteboard();
    PasteboardSnapshot snapshot = takeSnapshot(pasteboard);
    const std::int64_t before = platform::changeCount(pasteboard);
    postCommand(keyCode("c", ansiC));
    const bool changed =
        ax::poll(timeoutMs, [&] { return platform::changeCount(pasteboard) != before; });
    if (!changed) {
        // Nothing was written, so nothing was parked and there is nothing to put back.
        return Probe{true, false, std::nullopt, false};
    }
    const std::int64_t after = platform::changeCount(pasteboard);
    frame::guarded([&] { pendingRestore = PendingRestore{std::move(snapshot), after}; });
    std::optional<std::string> text = platform::stringForType(pasteboard, platform::plainTextType);
    const bool restored = frame::guarded([&] {
        PendingRestore parked = std::move(*pendingRestore);
        pendingRestore.reset();
        return restore(parked.snapshot, pasteboard, after);
    });
    return Probe{true, true, std::move(text), restored};
}

nlohmann::json Probe::json() const {
    return {{"ran", ran}, {"changed", changed}, {"restored", restored}};
}

}  // namespace clipboard
