// What the text rules ask of single code points, each answer worked out once from utf8proc's
// tables and kept for the rest of the process.
#pragma once

namespace text {

/// A starter that is its own NFC and no second half of a composition: NFC leaves it alone, and
/// nothing before it composes or reorders across it.
bool stableUnderNfc(char32_t c);

/// A character that forms a cluster of its own next to any other such character: grapheme break
/// class Other, Control, CR or LF, outside the scripts whose consonants join across a virama.
/// Between two of them (CR LF aside) a cluster boundary always falls.
bool standsAlone(char32_t c);

/// A character of break class Prepend (concatenation marks and a few others): it joins what
/// follows it, unless that is a control.
bool prepends(char32_t c);

}  // namespace text
