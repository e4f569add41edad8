// The Unicode White_Space property and the program's rules for blank text and line ends, which
// judge each character (grapheme cluster) by its first scalar.
#pragma once

#include <string_view>

namespace text {

/// The Unicode White_Space property (25 code points).
bool isWhiteSpace(char32_t c);

/// U+000A, 000B, 000C, 000D, 0085, 2028 and 2029.
bool isNewline(char32_t c);

/// True when every cluster starts with white space; true for "".
bool isBlank(std::string_view utf8);

/// True when the last cluster starts with a newline character ("\r\n" is one cluster).
bool endsWithNewline(std::string_view utf8);

}  // namespace text
