// Reading the X11 window tree on whichever connection the caller holds: properties, children,
// and the process a window belongs to by _NET_WM_PID.
#pragma once

#include <X11/Xlib.h>
#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform::x11 {

/// A property of 32-bit items of the given type (Xlib hands them as long); empty when the
/// window, the property or that type is not there.
std::vector<unsigned long> cardinals(Display* display, Window window, const char* name, Atom type);

/// A property of 8-bit items, as text (at most 4 KB); absent when not there.
std::optional<std::string> textProperty(Display* display, Window window, const char* name);

/// The process the window itself names in _NET_WM_PID.
std::optional<Pid> ownPid(Display* display, Window window);

std::vector<Window> childrenOf(Display* display, Window window);

/// The process of a window: the first window from it up to the root that names its process.
std::optional<Pid> pidOfWindow(Display* display, Window window);

/// The process's top-level windows, mapped or not: the root's children that name it, and their
/// children that do (a reparenting window manager's frames name nobody).
std::vector<Window> windowsOf(Display* display, Pid pid);

}  // namespace platform::x11
