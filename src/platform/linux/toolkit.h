// What sets one application's accessibility apart from the others: the toolkit behind it, as it
// names itself on the bus, and the habits of that toolkit the backend must undo. Asked once per
// application (bus name) and kept for the process.
#pragma once

#include <string>

#include "bus.h"

namespace platform::atspi {

struct Toolkit {
    /// How text offsets are counted: in code points, as AT-SPI says, or in UTF-16 units, as Qt
    /// and LibreOffice count them.
    enum class Offsets { scalars, utf16 };
    Offsets offsets = Offsets::scalars;
    /// Gecko gives every character outside the BMP a U+FEFF after it, so that its scalar
    /// offsets are UTF-16 offsets of the page's own text; the padding is not the page's.
    bool padsAstral = false;
    /// GTK 4.8 sets SHOWING on its windows only: a walk prunes hidden subtrees by VISIBLE.
    bool showingOnWindowsOnly = false;
    /// GTK 4.8 gives extents relative to the window whatever coordinates are asked for.
    bool windowRelativeExtents = false;
    /// Gecko answers -1,-1 for every position for a while after a page loads.
    bool unplacedAtMinusOne = false;
    /// Qt reports the current tab of a tab bar FOCUSED whether or not the tab bar has the focus.
    bool currentTabFocused = false;
};

/// The toolkit of the application behind the bus name; a toolkit that cannot be asked (or is
/// not known) is taken at AT-SPI's word.
const Toolkit& toolkitOf(const std::string& bus, int timeoutMs);

/// The profile of a toolkit by the names it gives (the toolkit's name and version, the
/// application's name): a function of its own so that the table can be tested without a bus.
Toolkit profileOf(const std::string& toolkitName, const std::string& version,
                  const std::string& applicationName);

}  // namespace platform::atspi
