// Finding objects in an application's tree: the focused one, the active window, the window an
// object is in. Every step is one call with the caller's time-out.
#pragma once

#include <optional>

#include "node.h"

namespace platform::atspi {

/// The object with the FOCUSED state under the root: asked of the Collection interface in one
/// call, or, where the application has none, looked for among the showing objects.
Got<Ref> focusedObject(const Target& root);

/// The root's child window with the ACTIVE state.
Got<Ref> activeWindow(const Target& root);

/// The nearest ancestor whose role is a window's.
Got<Ref> windowOf(const Target& at);

}  // namespace platform::atspi
