// Lengths and positions in UTF-16 code units, the way the accessibility interface counts them,
// measured over the UTF-8 strings the program holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace text {

/// Length in UTF-16 units; a scalar above U+FFFF counts 2, ill-formed bytes count as U+FFFD.
std::int64_t utf16Length(std::string_view utf8);

/// Byte offset of a UTF-16 offset, clamped to [0, size]; an offset inside a surrogate pair gives
/// the start of that scalar.
std::size_t byteOffset(std::string_view utf8, std::int64_t units);

/// UTF-16 offset of a byte offset, clamped to [0, length]; a byte offset inside a sequence counts
/// only up to that sequence's start.
std::int64_t utf16Offset(std::string_view utf8, std::size_t bytes);

}  // namespace text
