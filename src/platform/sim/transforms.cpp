// Paste transforms: line breaks to spaces, trimming white space, upper case, decomposition.
#include "platform/sim/transforms.h"

#include <utf8proc.h>

#include "text/normalize.h"
#include "text/white_space.h"

namespace platform::sim {

namespace {

std::string newlinesToSpaces(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            out.push_back(' ');
        } else if (c == '\n') {
            out.push_back(' ');
        } else if (text.substr(i, 2) == "\xC2\x85") {
            out.push_back(' ');
            ++i;
        } else if (text.substr(i, 3) == "\xE2\x80\xA8" || text.substr(i, 3) == "\xE2\x80\xA9") {
            out.push_back(' ');
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Decodes the scalar at `at`; ill-formed bytes count as one byte of U+FFFD.
utf8proc_int32_t scalarAt(std::string_view text, std::size_t at, std::size_t& length) {
    utf8proc_int32_t scalar = 0;
    const auto n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at),
                                    static_cast<utf8proc_ssize_t>(text.size() - at), &scalar);
    if (n <= 0) {
        length = 1;
        return 0xFFFD;
    }
    length = static_cast<std::size_t>(n);
    return scalar;
}

std::string trim(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t length = 0;
        if (!text::isWhiteSpace(static_cast<char32_t>(scalarAt(text, begin, length)))) {
            break;
        }
        begin += length;
    }
    std::size_t end = text.size();
    while (end > begin) {
        std::size_t start = end - 1;
        while (start > begin && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
            --start;
        }
        std::size_t length = 0;
        const auto scalar = scalarAt(text, start, length);
        if (start + length != end || !text::isWhiteSpace(static_cast<char32_t>(scalar))) {
            break;
        }
        end = start;
    }
    return std::string(text.substr(begin, end - begin));
}

std::string upper(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 0;
        const auto scalar = utf8proc_toupper(scalarAt(text, i, length));
        utf8proc_uint8_t buffer[4];
        const auto n = utf8proc_encode_char(scalar, buffer);
        out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
        i += length;
    }
    return out;
}

}  // namespace

std::string applyTransform(Transform transform, std::string text) {
    switch (transform) {
        case Transform::newlinesToSpaces:
            return newlinesToSpaces(text);
        case Transform::trim:
            return trim(text);
        case Transform::upper:
            return upper(text);
        case Transform::nfd:
            return text::nfd(text);
        case Transform::none:
            break;
    }
    return text;
}

}  // namespace platform::sim
