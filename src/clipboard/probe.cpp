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
    // Where the front application's selection can be read without a key press (X11's PRIMARY
    // selection), it is read, and nothing is pressed or borrowed; where the platform allows no
    // chord (on X11 none: Control-C in a terminal interrupts its program), none is pressed.
    platform::QuietSelection quiet = platform::selectionWithoutKeys();
    if (quiet.text || !quiet.keysAllowed) {
        return Probe{false, false, std::move(quiet.text), false};
    }
    // Keys that would not arrive are not pressed; a pasteboard that could not be given back as
    // it was (data that cannot be read, a password manager's secret) is not borrowed. Either way
    // the probe does not run.
    if (keyPath() != KeyPath::open) {
        return Probe{};
    }
    const platform::Pasteboard pasteboard = platform::generalPasteboard();
    const std::int64_t listed = platform::changeCount(pasteboard);
    PasteboardSnapshot snapshot = takeSnapshot(pasteboard);
    if (!snapshot.whole()) {
        return Probe{};
    }
    const std::uint16_t key = keyCode("c", ansiC);
    awaitModifiersReleased();
    const std::int64_t before = platform::changeCount(pasteboard);
    if (before != listed) {
        // Somebody wrote while the snapshot was taken or the keys were awaited: the snapshot
        // may not be theirs, and a restore of it could overwrite them.
        return Probe{};
    }
    // Parked before the chord, so that whichever path answers finds the user's items should the
    // copy land while it does, however soon after the chord that is.
    frame::guarded([&] {
        pendingRestore = PendingRestore{std::move(snapshot), before,
                                        ax::deadlineAfter(ax::Clock::now(), timeoutMs)};
    });
    postCommand(key);
    const bool changed =
        ax::poll(timeoutMs, [&] { return platform::changeCount(pasteboard) != before; });
    if (!changed) {
        // Left parked: a copy that lands late is still put back by whichever reply comes first.
        return Probe{true, false, std::nullopt, false};
    }
    // A copy takes the pasteboard once, so the count it leaves is one more than before; a count
    // that moved further means somebody else wrote after it too, and their write wins.
    const std::int64_t after = before + 1;
    frame::guarded([&] {
        pendingRestore->changeCount = after;
        pendingRestore->copyDueBy.reset();
    });
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
