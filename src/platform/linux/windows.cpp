// Window lookups on the client link. With a window manager its client list is the list of
// top-level windows, bottom to top; without one the root's children are, as far as they are
// viewable and not override-redirect (menus, tooltips, the toolkits' hidden windows).
#include "windows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <mutex>
#include <vector>

#include "window_tree.h"
#include "xlink.h"

namespace platform::x11 {

namespace {

// The window manager's check window, when one runs that follows EWMH.
bool managed(Display* display) {
    const Window root = DefaultRootWindow(display);
    const auto check = cardinals(display, root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    return check.size() == 1 && check[0] != 0 &&
           cardinals(display, check[0], "_NET_SUPPORTING_WM_CHECK", XA_WINDOW) == check;
}

bool supports(Display* display, const char* name) {
    const Atom wanted = intern(display, name);
    for (const unsigned long atom :
         cardinals(display, DefaultRootWindow(display), "_NET_SUPPORTED", XA_ATOM)) {
        if (atom == wanted) {
            return true;
        }
    }
    return false;
}

// Top-level windows bottom to top, those the window manager manages or, without one, the
// viewable ones an application shows.
std::vector<Window> topLevels(Display* display) {
    if (managed(display)) {
        const auto stacking =
            cardinals(display, DefaultRootWindow(display), "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
        if (!stacking.empty()) {
            return {stacking.begin(), stacking.end()};
        }
    }
    std::vector<Window> shown;
    for (const Window window : childrenOf(display, DefaultRootWindow(display))) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, window, &attributes) != 0 &&
            attributes.map_state == IsViewable && !attributes.override_redirect &&
            attributes.c_class == InputOutput) {
            shown.push_back(window);
        }
    }
    return shown;
}

std::optional<Window> topmostOf(Display* display, Pid pid) {
    std::optional<Window> found;
    for (const Window window : topLevels(display)) {
        if (ownPid(display, window) == pid) {
            found = window;
        }
    }
    return found;
}

}  // namespace

bool activate(Pid pid) {
    Link* link = clientLink();
    if (link == nullptr) {
        return false;
    }
    const Hold hold = lock(*link);
    if (!hold) {
        return false;
    }
    Display* display = link->display;
    const auto window = topmostOf(display, pid);
    if (!window) {
        return false;
    }
    const std::optional<Time> time = serverTime(*link, Clock::now() + std::chrono::seconds(1));
    const Window root = DefaultRootWindow(display);
    if (managed(display) && supports(display, "_NET_ACTIVE_WINDOW")) {
        // Source 2: a pager, the user's own wish, which focus-stealing prevention lets through.
        XEvent message{};
        message.xclient.type = ClientMessage;
        message.xclient.window = *window;
        message.xclient.message_type = intern(display, "_NET_ACTIVE_WINDOW");
        message.xclient.format = 32;
        message.xclient.data.l[0] = 2;
        message.xclient.data.l[1] = static_cast<long>(time.value_or(CurrentTime));
        message.xclient.data.l[2] = 0;
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &message);
    } else {
        XRaiseWindow(display, *window);
        XSetInputFocus(display, *window, RevertToParent, time.value_or(CurrentTime));
    }
    XSync(display, False);
    return true;
}

bool hasX11Window(Pid pid) {
    Link* link = clientLink();
    if (link == nullptr) {
        return false;
    }
    const Hold hold = lock(*link);
    if (!hold) {
        return true;  // nothing to go by: not a reason to refuse
    }
    Display* display = link->display;
    if (managed(display)) {
        for (const unsigned long window :
             cardinals(display, DefaultRootWindow(display), "_NET_CLIENT_LIST", XA_WINDOW)) {
            if (ownPid(display, window) == pid) {
                return true;
            }
        }
    }
    // Under a reparenting window manager without a client list, the application's windows are
    // one level down.
    return !windowsOf(display, pid).empty();
}

}  // namespace platform::x11
