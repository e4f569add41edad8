// Connections to the X display of the clipboard's and the keys' own: each with a window for
// properties and selections, and a lock that is only ever held for bounded stretches.
#pragma once

#include <X11/Xlib.h>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace platform::x11 {

using Clock = std::chrono::steady_clock;

/// How long any thread waits for a link's lock: its holders do a few round trips at a time, so
/// a lock not had by then belongs to a connection that is stuck, and the caller gives up.
inline constexpr auto lockWait = std::chrono::seconds(2);

struct Link {
    Display* display = nullptr;
    Window window = 0;  // unmapped, input-only; reports changes of its properties
    std::timed_mutex mutex;

    Link() = default;
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    ~Link();
};

/// A link's lock, held.
using Hold = std::unique_lock<std::timed_mutex>;

/// Takes the link's lock, waiting at most lockWait; test the result. The bound is counted on the
/// system clock: the steady clock's timed lock (pthread_mutex_clocklock) is one that
/// ThreadSanitizer does not see taken, and a jump of the wall clock only moves the bound of a
/// wait that normally lasts microseconds.
inline Hold lock(Link& link) {
    return Hold(link.mutex, std::chrono::system_clock::now() + lockWait);
}

/// A connection to $DISPLAY and its window, named for anyone who lists windows; null without a
/// display.
std::unique_ptr<Link> openLink(const char* name);

/// What the process does when a connection is lost, instead of answering "internal" (the
/// keeper, which answers nobody, just ends). Must not return.
void onConnectionLost(void (*lost)());

/// The link the calling process's key events, conversions, activation and window lookups share,
/// opened on first use; null without a display. Its lock guards every use.
Link* clientLink();

/// XInternAtom, creating the atom.
Atom intern(Display* display, const char* name);

/// The atom's name, or "" for None or an atom the server does not know.
std::string atomName(Display* display, Atom atom);

/// Waits for an event that `match` accepts, until the deadline, and takes it off the queue;
/// events it does not accept stay queued. Lock held.
std::optional<XEvent> awaitEvent(Display* display, Clock::time_point deadline,
                                 const std::function<bool(const XEvent&)>& match);

/// The server's time now (from a property change on the link's window), or absent when no
/// answer came by the deadline. Lock held.
std::optional<Time> serverTime(Link& link, Clock::time_point deadline);

}  // namespace platform::x11
