// X11 selections both ways: asking a selection's owner for a target (incrementally, INCR, when
// it answers so), and serving targets held in memory, incrementally where they are large. Every
// wait is bounded; nothing here takes a link's lock, callers hold it.
#pragma once

#include <X11/Xlib.h>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "xlink.h"

namespace platform::x11 {

/// A target's value as a property holds it: its type, its format (8, 16 or 32) and its bytes,
/// items of 16 and 32 bits as 2 and 4 bytes in this machine's order (not Xlib's longs).
struct Property {
    Atom type = None;
    int format = 8;
    std::string bytes;
};

enum class Answer {
    data,     // the owner answered with the value
    refused,  // the owner answered that it cannot convert to that target
    silent,   // no answer, or a transfer that stopped, within the bounds
};

struct Converted {
    Answer answer = Answer::silent;
    Property property;
};

/// How long an owner may take to answer a conversion, and then to hand over each part of an
/// incremental transfer.
inline constexpr auto answerWait = std::chrono::milliseconds(1000);

/// Asks the selection's owner for the target, on the link's window; waits for the answer and
/// an incremental transfer's parts, each within answerWait.
Converted convert(Link& link, Atom selection, Atom target);

/// STRING's ISO Latin-1 as UTF-8.
std::string utf8FromLatin1(const std::string& latin1);

/// Targets that describe a selection rather than hold its data.
bool describesSelection(Display* display, Atom target);

/// Property items as Xlib hands them (longs for format 32) turned into bytes, and back.
std::string propertyBytes(int format, unsigned long count, const unsigned char* items);
void putProperty(Display* display, Window window, Atom property, Atom type, int format,
                 const char* bytes, std::size_t size);

/// One target an owner serves.
struct Served {
    Atom target = None;
    Atom type = None;
    int format = 8;
    std::shared_ptr<const std::string> bytes;
};

/// The owner's side of one selection on a connection: what it serves while it owns it, and the
/// incremental transfers under way, which go on after ownership is lost.
class Server {
  public:
    Server(Display* display, Window window, Atom selection);

    /// Ownership taken at `time`, serving nothing yet.
    void owned(Time time);
    /// What is served from now on, while owned.
    void serve(std::vector<Served> targets);
    const std::vector<Served>& served() const { return targets_; }
    bool owns() const { return owns_; }
    Time ownedAt() const { return ownedAt_; }
    /// Transfers still under way.
    bool transferring() const { return !transfers_.empty(); }

    /// Handles SelectionRequest, SelectionClear and the property deletions that advance
    /// transfers; other events are not its business.
    void handle(const XEvent& event);
    /// Drops transfers whose requestor has not taken a part for a while.
    void expire(Clock::time_point now);

    /// Targets larger than this go incrementally, in parts of this size.
    static constexpr std::size_t partSize = 256 * 1024;

  private:
    struct Transfer {
        Window requestor = 0;
        Atom property = None;
        Served value;
        std::size_t offset = 0;
        Clock::time_point lastProgress;
    };

    void answer(const XSelectionRequestEvent& request);
    bool put(const XSelectionRequestEvent& request, Atom property);
    void advance(const XPropertyEvent& event);
    void forget(std::size_t index);

    Display* display_;
    Window window_;
    Atom selection_;
    Atom targetsAtom_;
    Atom timestampAtom_;
    Atom incrAtom_;
    bool owns_ = false;
    Time ownedAt_ = CurrentTime;
    std::vector<Served> targets_;
    std::vector<Transfer> transfers_;
};

}  // namespace platform::x11
