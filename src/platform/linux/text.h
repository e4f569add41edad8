// An object's text as the user sees it, and positions between the toolkit's offsets and the
// core's UTF-16 units. Toolkits count differently (code points as AT-SPI says; UTF-16 units in
// Qt, LibreOffice and, through its padding, Gecko), so every offset goes through here. A
// password field's text is never fetched: its characters are bullets, one unit each.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "node.h"

namespace platform::atspi {

/// The object a text is read from: its element (which keeps the last whole text fetched, so that
/// the offsets of one capture need it once) and its target.
struct TextSubject {
    ElementObject& element;
    Target at;
    bool password = false;
};

/// The whole text, fetched afresh.
Got<std::string> wholeText(TextSubject& s);

/// The text between two of the toolkit's offsets.
Got<std::string> textBetweenOffsets(const Target& at, std::int32_t start, std::int32_t end);

/// The length in UTF-16 units.
Got<std::int64_t> utf16Length(TextSubject& s);

/// A range of the toolkit's offsets [start, end) as a UTF-16 range.
Got<Range> utf16Range(TextSubject& s, std::int32_t start, std::int32_t end);

/// A UTF-16 range as the toolkit's offsets [start, end), within the text; a negative location
/// or length is illegal. An end inside a surrogate pair takes the whole character.
Got<std::pair<std::int32_t, std::int32_t>> toolkitRange(TextSubject& s, const Range& range);

/// Gecko's text without the U+FEFF it puts after each character outside the BMP.
std::string withoutAstralPadding(std::string text);

}  // namespace platform::atspi
