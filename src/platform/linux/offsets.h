// Text positions between the bus and the core: AT-SPI counts code points, the core UTF-16
// units. Converting reads the text up to the farthest offset once, except in a password field,
// whose text is never fetched (its characters are bullets, one unit each).
#pragma once

#include <cstdint>
#include <utility>

#include "node.h"

namespace platform::atspi {

/// A range of scalars [start, end) as a UTF-16 range.
Got<Range> utf16Range(const Target& at, bool password, std::int32_t start, std::int32_t end);

/// A UTF-16 range as scalars [start, end); a negative location or length is illegal.
Got<std::pair<std::int32_t, std::int32_t>> scalarRange(const Target& at, bool password,
                                                       const Range& range);

}  // namespace platform::atspi
