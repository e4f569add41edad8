// Whether a pasted text shows in a value: white space differences and canonically equivalent
// spellings do not count, everything else (letter case included) does.
#pragma once

#include <string_view>

namespace insert {

// True when the normalised value holds the normalised text as a contiguous substring. A text
// that normalises to nothing counts as landed: there was nothing to see.
bool landed(std::string_view text, std::string_view in);

}  // namespace insert
