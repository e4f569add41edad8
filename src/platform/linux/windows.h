// Top-level X11 windows by process: bringing an application to the front, and telling whether
// it has an X11 window at all (keys posted through XTest reach nothing else).
#pragma once

#include <X11/Xlib.h>
#include <optional>

#include "platform/types.h"

namespace platform::x11 {

/// Asks for the process's topmost window to come to the front: with _NET_ACTIVE_WINDOW where a
/// window manager supports it, else by raising it and giving it the input focus. False when the
/// process has no window to bring, or there is no display.
bool activate(Pid pid);

/// Whether the process has a top-level X11 window (mapped or not), by _NET_WM_PID.
bool hasX11Window(Pid pid);

}  // namespace platform::x11
