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
#include "window_tree.h"

namespace platform::atspi {

namespace {

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

// The window manager's active window, when it names one.
std::optional<Window> activeWindow(Display* x) {
    const auto active = x11::cardinals(x, DefaultRootWindow(x), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    return active.size() == 1 && active[0] != 0 ? std::optional<Window>(active[0]) : std::nullopt;
}

}  // namespace

std::optional<Point> contentOrigin(Pid pid, Size content) {
    std::lock_guard lock(mutex);
    Display* x = display();
    if (x == nullptr) {
        return std::nullopt;
    }
    const Window root = DefaultRootWindow(x);
    const std::vector<Window> windows = x11::windowsOf(x, pid);
    std::optional<Window> chosen;
    if (const auto active = activeWindow(x)) {
        for (const Window window : windows) {
            if (window == *active) {
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
    if (const auto margins = x11::cardinals(x, *chosen, "_GTK_FRAME_EXTENTS", XA_CARDINAL);
        margins.size() == 4) {
        origin.x += static_cast<double>(margins[0]);  // left, right, top, bottom
        origin.y += static_cast<double>(margins[2]);
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
    return x11::textProperty(x, DefaultRootWindow(x), "AT_SPI_BUS");
}

std::optional<Pid> frontmostPid() {
    std::lock_guard lock(mutex);
    Display* x = display();
    if (x == nullptr) {
        return std::nullopt;
    }
    if (const auto active = activeWindow(x)) {
        if (const auto pid = x11::pidOfWindow(x, *active)) {
            return pid;
        }
    }
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(x, &focus, &revert);
    if (focus == None || focus == PointerRoot) {
        return std::nullopt;
    }
    return x11::pidOfWindow(x, focus);
}

std::optional<std::string> applicationId(Pid pid) {
    std::lock_guard lock(mutex);
    Display* x = display();
    if (x == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> wmClass;
    for (const Window window : x11::windowsOf(x, pid)) {
        if (auto id = x11::textProperty(x, window, "_GTK_APPLICATION_ID")) {
            return id;
        }
        if (!wmClass) {
            // WM_CLASS is "instance\0Class\0": the class names the application.
            if (const auto both = x11::textProperty(x, window, "WM_CLASS")) {
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
