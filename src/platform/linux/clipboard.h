// The X11 CLIPBOARD as this process holds it: what happens to it on the way out.
#pragma once

namespace platform::x11 {

/// Before the reply line, on whichever thread writes it: a clipboard the helper owns with the
/// user's items goes to a keeper process, and this returns once the keeper owns it (or could
/// not take it); one that holds the helper's own text, or nothing, is let go, so the user's
/// clipboard is empty as it was. Bounded; does nothing when the clipboard was never used.
void releaseClipboard();

}  // namespace platform::x11
