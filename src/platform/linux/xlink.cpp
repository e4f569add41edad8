// Opening the links, and waiting on one for an event with poll() on its socket, never in Xlib.
// Windows of other clients come and go while they are used, so protocol errors are ignored and
// what they spoil shows up as an absent answer.
#include "xlink.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <atomic>
#include <csignal>
#include <poll.h>
#include <unistd.h>

#include "unusable.h"

namespace platform::x11 {

namespace {

int ignoreErrors(Display* /*display*/, XErrorEvent* /*error*/) {
    return 0;
}

void answerLost() {
    atspi::unusable("the connection to the X display was lost");
}

std::atomic<void (*)()> whenLost{answerLost};

// Xlib ends the process once this returns; it does not.
int connectionLost(Display* /*display*/) {
    whenLost.load()();
    _exit(0);
}

struct MatchData {
    const std::function<bool(const XEvent&)>* match;
};

Bool matches(Display* /*display*/, XEvent* event, XPointer data) {
    const auto* wanted = reinterpret_cast<const MatchData*>(data);
    return (*wanted->match)(*event) ? True : False;
}

}  // namespace

Link::~Link() {
    if (display != nullptr) {
        XCloseDisplay(display);
    }
}

void onConnectionLost(void (*lost)()) {
    whenLost = lost;
}

std::unique_ptr<Link> openLink(const char* name) {
    // A server that goes away must end in the handler, not in SIGPIPE on the socket.
    std::signal(SIGPIPE, SIG_IGN);
    XSetErrorHandler(ignoreErrors);
    XSetIOErrorHandler(connectionLost);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return nullptr;
    }
    auto link = std::make_unique<Link>();
    link->display = display;
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    link->window = XCreateWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, 0,
                                 InputOnly, CopyFromParent, CWEventMask, &attributes);
    XStoreName(display, link->window, name);
    const long pid = getpid();
    XChangeProperty(display, link->window, intern(display, "_NET_WM_PID"), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    XSync(display, False);
    return link;
}

Link* clientLink() {
    // Never closed: a thread may still be using it while the process ends.
    static Link* const link = openLink("larkspin-helper").release();
    return link;
}

Atom intern(Display* display, const char* name) {
    return XInternAtom(display, name, False);
}

std::string atomName(Display* display, Atom atom) {
    if (atom == None) {
        return {};
    }
    char* name = XGetAtomName(display, atom);
    if (name == nullptr) {
        return {};
    }
    std::string text(name);
    XFree(name);
    return text;
}

std::optional<XEvent> awaitEvent(Display* display, Clock::time_point deadline,
                                 const std::function<bool(const XEvent&)>& match) {
    MatchData data{&match};
    for (;;) {
        XEvent event;
        // Reads what the socket holds without blocking, then searches the queue.
        if (XCheckIfEvent(display, &event, matches, reinterpret_cast<XPointer>(&data))) {
            return event;
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return std::nullopt;
        }
        pollfd socket{ConnectionNumber(display), POLLIN, 0};
        ::poll(&socket, 1, static_cast<int>(std::min<long long>(left, 1000)));
    }
}

std::optional<Time> serverTime(Link& link, Clock::time_point deadline) {
    Display* display = link.display;
    const Atom property = intern(display, "LARKSPIN_TIME");
    XChangeProperty(display, link.window, property, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XFlush(display);
    const auto event = awaitEvent(display, deadline, [&](const XEvent& e) {
        return e.type == PropertyNotify && e.xproperty.window == link.window &&
               e.xproperty.atom == property;
    });
    return event ? std::optional<Time>(event->xproperty.time) : std::nullopt;
}

}  // namespace platform::x11
