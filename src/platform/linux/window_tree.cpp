// The window tree is read while other clients change it: a window gone between two calls gives
// an empty answer (the connections ignore protocol errors), never a fault.
#include "window_tree.h"

#include <X11/Xatom.h>

namespace platform::x11 {

namespace {

// Far more than any real stacking; it only stops a walk up a broken tree.
constexpr int ancestorLimit = 64;

std::optional<Window> parentOf(Display* display, Window window) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    const bool ok = XQueryTree(display, window, &root, &parent, &children, &count) != 0;
    if (children != nullptr) {
        XFree(children);
    }
    return ok && parent != 0 && parent != root ? std::optional<Window>(parent) : std::nullopt;
}

// One read of a window property, `length` in 32-bit units: `take` makes the value of what came
// (its type, format, item count and items); an empty value when nothing came. Only an atom that
// exists can name a property somebody set. Xlib's copy is freed either way.
template <class Take>
auto property(Display* display, Window window, const char* name, Atom type, long length, Take take)
    -> decltype(take(Atom{}, 0, 0UL, nullptr)) {
    decltype(take(Atom{}, 0, 0UL, nullptr)) value{};
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None) {
        return value;
    }
    Atom actual = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, atom, 0, length, False, type, &actual, &format, &count,
                           &after, &data) == Success &&
        data != nullptr) {
        value = take(actual, format, count, data);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return value;
}

}  // namespace

std::vector<unsigned long> cardinals(Display* display, Window window, const char* name, Atom type) {
    return property(display, window, name, type, 65536,
                    [&](Atom actual, int format, unsigned long count, const unsigned char* data) {
                        if (actual != type || format != 32) {
                            return std::vector<unsigned long>{};
                        }
                        const auto* items = reinterpret_cast<const unsigned long*>(data);
                        return std::vector<unsigned long>(items, items + count);
                    });
}

std::optional<std::string> textProperty(Display* display, Window window, const char* name) {
    return property(display, window, name, AnyPropertyType, 1024,
                    [](Atom /*actual*/, int format, unsigned long count,
                       const unsigned char* data) -> std::optional<std::string> {
                        if (format != 8 || count == 0) {
                            return std::nullopt;
                        }
                        return std::string(reinterpret_cast<const char*>(data), count);
                    });
}

std::optional<Pid> ownPid(Display* display, Window window) {
    const auto pid = cardinals(display, window, "_NET_WM_PID", XA_CARDINAL);
    return pid.size() == 1 && pid[0] > 0 ? std::optional<Pid>(static_cast<Pid>(pid[0]))
                                         : std::nullopt;
}

std::vector<Window> childrenOf(Display* display, Window window) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    std::vector<Window> list;
    if (XQueryTree(display, window, &root, &parent, &children, &count) != 0 &&
        children != nullptr) {
        list.assign(children, children + count);
    }
    if (children != nullptr) {
        XFree(children);
    }
    return list;
}

std::optional<Pid> pidOfWindow(Display* display, Window window) {
    for (int step = 0; step < ancestorLimit && window != 0; ++step) {
        if (const auto pid = ownPid(display, window)) {
            return pid;
        }
        const auto up = parentOf(display, window);
        if (!up) {
            return std::nullopt;
        }
        window = *up;
    }
    return std::nullopt;
}

std::vector<Window> windowsOf(Display* display, Pid pid) {
    std::vector<Window> found;
    for (const Window top : childrenOf(display, DefaultRootWindow(display))) {
        if (ownPid(display, top) == pid) {
            found.push_back(top);
        }
        for (const Window inner : childrenOf(display, top)) {
            if (ownPid(display, inner) == pid) {
                found.push_back(inner);
            }
        }
    }
    return found;
}

}  // namespace platform::x11
