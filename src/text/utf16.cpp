// UTF-16 measures over UTF-8 text.
#include "text/utf16.h"

#include <algorithm>
#include <cstdint>

#include "text/decode.h"
#include "text/utf8.h"

namespace text {

std::int64_t utf16Length(std::string_view utf8) {
    if (isValidUtf8(utf8)) {
        // Well formed: one unit per sequence, which is per byte that is no continuation byte,
        // and a second one for each four-byte sequence; a loop the compiler vectorises.
        std::int64_t units = 0;
        for (const char c : utf8) {
            const auto byte = static_cast<unsigned char>(c);
            units += static_cast<std::int64_t>((byte & 0xC0) != 0x80) + (byte >= 0xF0);
        }
        return units;
    }
    std::int64_t units = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
            ++units;
            ++pos;
            continue;
        }
        const Decoded decoded = decodeAt(utf8, pos);
        units += utf16Units(decoded.scalar);
        pos += decoded.length;
    }
    return units;
}

std::size_t byteOffset(std::string_view utf8, std::int64_t units) {
    std::int64_t counted = 0;
    std::size_t pos = 0;
    while (pos < utf8.size() && counted < units) {
        const Decoded decoded = decodeAt(utf8, pos);
        counted += utf16Units(decoded.scalar);
        if (counted > units) {
            break;
        }
        pos += decoded.length;
    }
    return pos;
}

std::int64_t utf16Offset(std::string_view utf8, std::size_t bytes) {
    const std::size_t limit = std::min(bytes, utf8.size());
    std::int64_t units = 0;
    for (std::size_t pos = 0; pos < limit;) {
        const Decoded decoded = decodeAt(utf8, pos);
        if (pos + decoded.length > limit) {
            break;
        }
        units += utf16Units(decoded.scalar);
        pos += decoded.length;
    }
    return units;
}

}  // namespace text
