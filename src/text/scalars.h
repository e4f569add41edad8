// Positions in Unicode scalars (code points), the way AT-SPI counts text, measured over UTF-8;
// the bridge between them and UTF-16 positions is the byte offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace text {

/// Byte offset after `scalars` scalars, clamped to [0, size]; ill-formed bytes count as U+FFFD
/// per maximal subpart, as every other measure here counts them.
std::size_t byteOffsetOfScalars(std::string_view utf8, std::int64_t scalars);

/// Scalars that start before the byte offset and end by it, clamped to the text.
std::int64_t scalarOffset(std::string_view utf8, std::size_t bytes);

/// The UTF-16 offset of a scalar offset, and back (an offset inside a surrogate pair gives the
/// scalar it starts).
std::int64_t utf16OfScalars(std::string_view utf8, std::int64_t scalars);
std::int64_t scalarsOfUtf16(std::string_view utf8, std::int64_t units);

}  // namespace text
