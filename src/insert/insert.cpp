// The insert command: checks, activation, targeting, the borrowed pasteboard with Command-V,
// the wait for the text to show, the restore, the verdict. Every path ends in one reply.
#include "insert/insert.h"

#include "ax/poll.h"
#include "ax/primitives.h"
#include "clipboard/keys.h"
#include "clipboard/marked_text.h"
#include "clipboard/snapshot.h"
#include "frame/reply.h"
#include "frame/tunables.h"
#include "frame/watchdog.h"
#include "heap/heap.h"
#include "insert/landed.h"
#include "insert/targeting.h"
#include "platform/accessibility.h"
#include "platform/pasteboard.h"
#include "platform/workspace.h"

namespace insert {

namespace {

constexpr std::uint16_t ansiV = 9;

enum class Watched { landed, unreadable, ranOut };

// Waits until the value shows the paste: an unchanged value means it has not arrived yet, and a
// value that can no longer be read ends the wait.
Watched awaitPaste(const ReadBack& read, ReadBackJudge& judge, std::int64_t timeoutMs) {
    Watched outcome = Watched::ranOut;
    ax::poll(timeoutMs, [&] {
        std::optional<std::string> value = read();
        if (!value) {
            outcome = Watched::unreadable;
        } else if (judge.arrived(std::move(*value))) {
            outcome = Watched::landed;
        }
        return outcome != Watched::ranOut;
    });
    return outcome;
}

// What the give-back will not hold, for the reply: absent when it holds everything.
nlohmann::json leftOut(const clipboard::PasteboardSnapshot& snapshot) {
    if (snapshot.whole()) {
        return nullptr;
    }
    return {{"concealedItems", snapshot.concealedItems},
            {"unreadableTypes", snapshot.unreadableTypes}};
}

// The user's pasteboard, read before anything else is touched: one that could not be given back
// is never borrowed, and the command ends with the target, its field and the keys untouched.
clipboard::PasteboardSnapshot readableSnapshot(const platform::Pasteboard& pasteboard) {
    clipboard::PasteboardSnapshot snapshot = clipboard::takeSnapshot(pasteboard);
    if (snapshot.unusable) {
        frame::fail("pasteboardUnreadable", *snapshot.unusable);
    }
    return snapshot;
}

}  // namespace

void insert(InsertRequest request) {
    frame::armDeadline(request.deadlineMs, clipboard::giveBackOnGiveUp);
    if (!platform::isProcessTrusted()) {
        frame::fail("notTrusted");
    }
    // Asked for before anything else is touched: where there is no pasteboard (a backend that
    // has none yet), the command ends here with the target's focus, selection and front window
    // as they were.
    const platform::Pasteboard pasteboard = platform::generalPasteboard();
    if (!pasteboard.object) {
        frame::fail("internal", "the pasteboard is not available on this backend");
    }
    // Without the permission to post events Command-V would vanish: nothing is borrowed for it.
    if (clipboard::keyPath() == clipboard::KeyPath::notAllowed) {
        frame::fail("notTrusted");
    }
    const auto target = platform::runningApplicationWithProcessIdentifier(request.pid);
    if (!target || platform::isTerminated(*target)) {
        frame::fail("targetGone");
    }
    std::int64_t listed = platform::changeCount(pasteboard);
    clipboard::PasteboardSnapshot snapshot = readableSnapshot(pasteboard);

    const Activation activation = activate(*target);
    if (activation == Activation::refused) {
        frame::fail("focusTimeout");
    }
    const bool activated = activation == Activation::done;
    // Secure input is asked for once the target is in front: the application that held it may
    // have let go as it left. While somebody holds it, synthetic keys reach nobody.
    if (clipboard::keyPath() == clipboard::KeyPath::secureInput) {
        frame::fail("secureInput",
                    "an application holds secure keyboard input, so Command-V "
                    "would not arrive");
    }

    // The text moves on from the request: a large one is not held twice.
    Aim aimed = aim(request.into, std::move(request.text), request.pid);
    const std::optional<std::string> before =
        aimed.read ? (*aimed.read)() : std::optional<std::string>();
    // The text is prepared for judging before the pasteboard is borrowed: once it is, every
    // moment counts against the user's items.
    const bool watchable = aimed.read && before;
    std::optional<ReadBackJudge> judge;
    if (watchable) {
        judge.emplace(aimed.paste, *before);
    }
    // Keys the user still holds from the parent's hotkey would turn Command-V into another
    // shortcut; after a short wait it is posted anyway.
    const std::uint16_t pasteKey = clipboard::keyCode("v", ansiV);
    clipboard::awaitModifiersReleased();
    // Once the pasteboard is borrowed the text is copied on its way into the field, and the
    // value read back holds it: the pages for three copies are made ready now, before the user's
    // items are away, not while they are.
    heap::prepare(3 * aimed.paste.size());
    // Somebody copied since the snapshot: theirs is what must come back.
    if (const std::int64_t now = platform::changeCount(pasteboard); now != listed) {
        listed = now;
        snapshot = readableSnapshot(pasteboard);
    }
    nlohmann::json notGivenBack = leftOut(snapshot);

    // The write and the parking are one unit for the watchdog: it sees the pasteboard untouched
    // and nothing parked, or the text written and the snapshot parked. The count the clear gave
    // is the helper's ownership: if it has moved once the text is written, somebody else wrote
    // in between, and their content must neither be pasted nor be replaced by a restore. The
    // text stays on this Mac: it is not offered to the user's other devices.
    const std::optional<std::int64_t> pasted = frame::guarded([&]() -> std::optional<std::int64_t> {
        const std::int64_t owned =
            platform::prepareForNewContents(pasteboard, platform::contentsCurrentHostOnly);
        clipboard::pendingRestore =
            clipboard::PendingRestore{std::move(snapshot), owned, std::nullopt};
        clipboard::writeMarkedText(pasteboard, std::move(aimed.paste));
        if (platform::changeCount(pasteboard) != owned) {
            clipboard::pendingRestore.reset();
            return std::nullopt;
        }
        return owned;
    });
    if (!pasted) {
        frame::fail("internal", "the pasteboard changed while the text was written");
    }

    clipboard::postCommand(pasteKey);

    const Watched watched =
        watchable ? awaitPaste(*aimed.read, *judge, request.verifyTimeoutMs) : Watched::unreadable;
    // Without having seen the text, because nothing could be watched, the value stopped being
    // readable or there was no time to watch, the text stays on the pasteboard for settleMs (or
    // until somebody else writes): given back at once, a slow target would paste the user's own
    // items.
    if (watched == Watched::unreadable ||
        (watched == Watched::ranOut && request.verifyTimeoutMs <= 0)) {
        ax::poll(request.settleMs, [&] { return platform::changeCount(pasteboard) != *pasted; });
    }

    const bool restored = frame::guarded([&] {
        clipboard::PendingRestore parked = std::move(*clipboard::pendingRestore);
        clipboard::pendingRestore.reset();
        return clipboard::restore(parked.snapshot, pasteboard, *pasted);
    });

    std::string verified = "unknown";
    if (watchable) {
        if (std::optional<std::string> value = (*aimed.read)()) {
            verified = judge->landedIn(std::move(*value)) ? "yes" : "no";
        }
    }
    nlohmann::json reply = {
        {"ok", true}, {"activated", activated}, {"verified", verified}, {"restored", restored}};
    if (!notGivenBack.is_null()) {
        reply["leftOut"] = std::move(notGivenBack);
    }
    frame::reply(reply);
}

}  // namespace insert
