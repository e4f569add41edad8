// The X display: which application is in front, and the names X11 gives a process's windows.
#pragma once

#include <optional>
#include <string>

#include "platform/types.h"

namespace platform::atspi {

/// The process of the window in front: the window manager's active window, or without one the
/// window with the input focus, up to its top-level window and that window's _NET_WM_PID.
std::optional<Pid> frontmostPid();

/// An identifier of the application behind the process's top-level windows: the GApplication id
/// GTK publishes (_GTK_APPLICATION_ID), else the class part of WM_CLASS.
std::optional<std::string> applicationId(Pid pid);

/// Where on the screen the process's window shows the point (0, 0) of an accessible window of
/// the given size: the window in front if it is the process's, else its first viewable one,
/// less the margin the toolkit draws around its content (_GTK_FRAME_EXTENTS, or without it the
/// difference of the two sizes, split evenly).
std::optional<Point> contentOrigin(Pid pid, Size content);

/// The accessibility bus's address as its launcher publishes it on the root window (AT_SPI_BUS).
std::optional<std::string> busAddressOnDisplay();

}  // namespace platform::atspi
