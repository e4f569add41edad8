// The copy probe on X11 reads the PRIMARY selection and presses nothing. An X11 application owns
// PRIMARY while text is selected in it, so the selection a copy chord would copy is there to be
// read; and Control-C, the chord, interrupts the program running in a terminal.
#include "display.h"
#include "platform/pasteboard.h"
#include "selection.h"
#include "window_tree.h"
#include "xlink.h"

namespace platform {

QuietSelection selectionWithoutKeys() {
    QuietSelection quiet{false, std::nullopt};
    const std::optional<Pid> front = atspi::frontmostPid();
    x11::Link* link = x11::clientLink();
    if (!front || link == nullptr) {
        return quiet;
    }
    const x11::Hold hold = x11::lock(*link);
    if (!hold) {
        return quiet;
    }
    Display* display = link->display;
    const Atom primary = x11::intern(display, "PRIMARY");
    const Window owner = XGetSelectionOwner(display, primary);
    // Only the front application's own selection is the user's: another application may still
    // own PRIMARY from a selection made there earlier.
    if (owner == None || x11::pidOfWindow(display, owner) != front) {
        return quiet;
    }
    for (const char* target : {"UTF8_STRING", "STRING"}) {
        const x11::Converted value = x11::convert(*link, primary, x11::intern(display, target));
        if (value.answer == x11::Answer::silent) {
            break;
        }
        if (value.answer != x11::Answer::data || value.property.format != 8) {
            continue;
        }
        quiet.text =
            target[0] == 'U' ? value.property.bytes : x11::utf8FromLatin1(value.property.bytes);
        break;
    }
    return quiet;
}

}  // namespace platform
