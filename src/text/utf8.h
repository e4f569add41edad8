// UTF-8 validity, repair, and conversion to and from the UTF-16 that the accessibility side uses.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace text {

/// True when the bytes are well-formed UTF-8 (no surrogates, overlong forms or values past
/// U+10FFFF).
bool isValidUtf8(std::string_view bytes);

/// Length of the well-formed multi-byte sequence that starts at `at`, or 0 when the bytes there
/// are not one (ASCII bytes give 0 too).
std::size_t utf8SequenceLength(std::string_view bytes, std::size_t at);

/// The bytes with each maximal ill-formed subpart replaced by U+FFFD; valid input comes back as is.
std::string toValidUtf8(std::string_view bytes);

/// The first scalar, U+FFFD when the string starts with ill-formed bytes; absent for "".
std::optional<char32_t> firstScalar(std::string_view utf8);

/// Appends the UTF-8 form of a scalar; surrogates and values past U+10FFFF append U+FFFD.
void appendUtf8(std::string& out, char32_t scalar);

/// UTF-16 form of the text; ill-formed bytes become U+FFFD.
std::u16string toUtf16(std::string_view utf8);

/// UTF-8 form of UTF-16 units; a lone surrogate becomes U+FFFD.
std::string fromUtf16(std::u16string_view units);

}  // namespace text
