// Scalar positions over UTF-8 text.
#include "text/scalars.h"

#include <algorithm>

#include "text/decode.h"
#include "text/utf16.h"

namespace text {

std::size_t byteOffsetOfScalars(std::string_view utf8, std::int64_t scalars) {
    std::size_t pos = 0;
    for (std::int64_t counted = 0; pos < utf8.size() && counted < scalars; ++counted) {
        pos += decodeAt(utf8, pos).length;
    }
    return pos;
}

std::int64_t scalarOffset(std::string_view utf8, std::size_t bytes) {
    const std::size_t limit = std::min(bytes, utf8.size());
    std::int64_t scalars = 0;
    for (std::size_t pos = 0; pos < limit; ++scalars) {
        const std::size_t length = decodeAt(utf8, pos).length;
        if (pos + length > limit) {
            break;
        }
        pos += length;
    }
    return scalars;
}

std::int64_t utf16OfScalars(std::string_view utf8, std::int64_t scalars) {
    return utf16Offset(utf8, byteOffsetOfScalars(utf8, scalars));
}

std::int64_t scalarsOfUtf16(std::string_view utf8, std::int64_t units) {
    return scalarOffset(utf8, byteOffset(utf8, units));
}

}  // namespace text
