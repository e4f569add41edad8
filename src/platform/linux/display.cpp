// Xlib, on one connection opened on first use and kept. Windows come and go while they are
// read, so X errors are ignored and a read of a vanished window is simply absent.
#include "display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <csignal>
#include <mutex>
#include <vector>

#include "unusable.h"

namespace platform::atspi {

namespace {

// Far more than any real stacking; it only stops a walk up a broken tree.
constexpr int ancestorLimit = 64;

int ignoreErrors(Display* /*display*/, XErrorEvent* /*error*/) {
    return 0;
}

// Xlib ends the process once this returns; it does not: the command answers instead.
int connectionLost(Display* /*display*/) {
    unusable("the connection to the X display was lost");
}

std::mutex mutex;

Display* display() {
    static Display* const opened = [] {
        // A server that goes away must end in a reply, not in SIGPIPE on its socket.
        std::signal(SIGPIPE, SIG_IGN);
        XSetErrorHandler(ignoreErrors);
        XSetIOErrorHandler(connectionLost);
        return XOpenDisplay(nullptr);
    }();
    return opened;
}

// One read of a window property: `take` makes the value of what came (its type, format, item
// count and items), or nothing; Xlib's copy is freed either way.
template <class Take>
auto windowProperty(Display* x, Window window, const char* name, Atom type, long length, Take take)
    -> decltype(take(Atom{}, 0, 0UL, nullptr)) {
    const Atom property = XInternAtom(x, name, True);
    if (property == None) {
        return std::nullopt;
    }
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    decltype(take(Atom{}, 0, 0UL, nullptr)) value;
    if (XGetWindowProperty(x, window, property, 0, length, False, type, &actualType, &format,
                           &count, &after, &data) == Success &&
        data != nullptr) {
        value = take(actualType, format, count, data);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return value;
}

std::optional<unsigned long> cardinal(Display* x, Window window, const char* name, Atom type) {
    return windowProperty(x, window, name, type, 1,
                          [&](Atom actual, int format, unsigned long count,
                              const unsigned char* data) -> std::optional<unsigned long> {
                              if (actual != type || format != 32 || count != 1) {
                                  return std::nullopt;
                              }
                              // Xlib hands 32-bit items as long.
                              return *reinterpret_cast<const unsigned long*>(data);
                          });
}

std::optional<std::string> text(Display* x, Window window, const char* name) {
    return windowProperty(x, window, name, AnyPropertyType, 1024,
                          [](Atom /*actual*/, int format, unsigned long count,
                             const unsigned char* data) -> std::optional<std::string> {
                              if (format != 8 || count == 0) {
                                  return std::nullopt;
                              }
                              return std::string(reinterpret_cast<const char*>(data), count);
                          });
}

std::optional<Pid> pidOf(Display* x, Window window) {
    const auto pid = cardinal(x, window, "_NET_WM_PID", XA_CARDINAL);
    return pid && *pid > 0 ? std::optional<Pid>(static_cast<Pid>(*pid)) : std::nullopt;
}

std::vector<Window> childrenOf(Display* x, Window window) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    std::vector<Window> list;
    if (XQueryTree(x, window, &root, &parent, &children, &count) != 0 && children != nullptr) {
        list.assign(children, children + count);
    }
    if (children != nullptr) {
        XFree(children);
    }
    return list;
}

std::optional<Window> parentOf(Display* x, Window window) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    const bool ok = XQueryTree(x, window, &root, &parent, &children, &count) != 0;
    if (children != nullptr) {
        XFree(children);
    }
    return ok && parent != 0 && parent != root ? std::optional<Window>(parent) : std::nullopt;
}

// The first window from this one up that names its process.
std::optional<Pid> pidUpFrom(Display* x, Window window) {
    for (int step = 0; step < ancestorLimit; ++step) {
        if (const auto pid = pidOf(x, window)) {
            return pid;
        }
        const auto up = parentOf(x, window);
        if (!up) {
            return std::nullopt;
        }
        window = *up;
    }
    return std::nullopt;
}

// The process's top-level windows: the root's children, or their children under a reparenting
// window manager.
std::vector<Window> windowsOf(Display* x, Pid pid) {
    std::vector<Window> found;
    for (const Window top : childrenOf(x, DefaultRootWindow(x))) {
        if (pidOf(x, top) == pid) {
            found.push_back(top);
        }
        for (const Window inner : childrenOf(x, top)) {
            if (pidOf(x, inner) == pid) {
                found.push_back(inner);
            }
        }
    }
    return found;
}

std::optional<std::vector<long>> cardinals(Display* x, Window window, const char* name,
                                           unsigned long wanted) {
    return windowProperty(x, window, name, XA_CARDINAL, static_cast<long>(wanted),
                          [&](Atom actual, int format, unsigned long count,
                              const unsigned char* data) -> std::optional<std::vector<long>> {
                              if (actual != XA_CARDINAL || format != 32 || count != wanted) {
                                  return std::nullopt;
                              }
                              const auto* items = reinterpret_cast<const long*>(data);
                              return std::vector<long>(items, items + count);
                          });
}

}  // namespace

std::optional<Point> contentOrigin(Pid pid, Size content) {
    std::lock_guard lock(mutex);
    Display* x = display();
    if (x == nullptr) {
        return std::nullopt;
    }
    const Window root = DefaultRootWindow(x);
    const std::vector<Window> windows = windowsOf(x, pid);
    std::optional<Window> chosen;
    if (const auto active = cardinal(x, root, "_NET_ACTIVE_WINDOW", XA_WINDOW); active) {
        for (const Window window : windows) {
            if (window == static_cast<Window>(*active)) {
                chosen = window;
            }
        }
    }
    for (const Window window : windows) {
        XWindowAttributes attributes;
        if (!chosen && XGetWindowAttributes(x, window, &attributes) != 0 &&
            attributes.map_state == IsViewable) {
            chosen = window;
        }
    }
    XWindowAttributes attributes;
    int left = 0;
    int top = 0;
    Window child = 0;
    if (!chosen || XGetWindowAttributes(x, *chosen, &attributes) == 0 ||
        XTranslateCoordinates(x, *chosen, root, 0, 0, &left, &top, &child) == 0) {
        return std::nullopt;
    }
    Point origin{static_cast<double>(left), static_cast<double>(top)};
    if (const auto margins = cardinals(x, *chosen, "_GTK_FRAME_EXTENTS", 4)) {
        origin.x += static_cast<double>((*margins)[0]);  // left, right, top, bottom
        origin.y += static_cast<double>((*margins)[2]);
    } else {
        origin.x += std::max(0.0, (attributes.width - content.width) / 2);
        origin.y += std::max(0.0, (attributes.height - content.height) / 2);
    }
    return origin;
}

std::optional<std::string> busAddressOnDisplay() {
    std::lock_guard lock(mutex);
    Display* x = display();
    if (x == nullptr) {
        return std::nullopt;
    }
    return text(x, DefaultRootWindow(x), "AT_SPI_BUS");
}

std::optional<Pid> frontmostPid() {
    std::lock_guard lock(mutex);
    Display* x = display();
    if (x == nullptr) {
        return std::nullopt;
    }
    const Window root = DefaultRootWindow(x);
    if (const auto active = cardinal(x, root, "_NET_ACTIVE_WINDOW", XA_WINDOW); active && *active) {
        if (const auto pid = pidUpFrom(x, static_cast<Window>(*active))) {
            return pid;
        }
    }
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(x, &focus, &revert);
    if (focus == None || focus == PointerRoot) {
        return std::nullopt;
    }
    return pidUpFrom(x, focus);
}

std::optional<std::string> applicationId(Pid pid) {
    std::lock_guard lock(mutex);
    Display* x = display();
    if (x == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> wmClass;
    for (const Window window : windowsOf(x, pid)) {
        if (auto id = text(x, window, "_GTK_APPLICATION_ID")) {
            return id;
        }
        if (!wmClass) {
            // WM_CLASS is "instance\0Class\0": the class names the application.
            if (const auto both = text(x, window, "WM_CLASS")) {
                const auto cut = both->find('\0');
                if (cut != std::string::npos && cut + 1 < both->size()) {
                    wmClass = std::string(both->c_str() + cut + 1);
                }
            }
        }
    }
    return wmClass;
}

}  // namespace platform::atspi
