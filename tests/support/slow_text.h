// Slow references for the text rules, written from their definitions rather than from the code
// they check: White_Space written out again, white space collapsed cluster by cluster, the
// canonical forms by utf8proc alone, and the landed rule built from them.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <utf8proc.h>

#include "text/graphemes.h"

namespace slowtext {

// The White_Space property's 25 code points, written out again on purpose.
inline bool whiteSpace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

inline char32_t firstScalar(std::string_view cluster) {
    utf8proc_int32_t scalar = 0;
    utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(cluster.data()),
                     static_cast<utf8proc_ssize_t>(cluster.size()), &scalar);
    return static_cast<char32_t>(scalar);
}

// Pieces between white-space characters, joined by one space.
inline std::string collapse(std::string_view text) {
    const std::vector<std::size_t> bounds = text::graphemeBoundaries(text);
    std::string out;
    std::string piece;
    const auto flush = [&] {
        if (!piece.empty()) {
            out += (out.empty() ? "" : " ") + piece;
            piece.clear();
        }
    };
    for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
        const std::string_view cluster = text.substr(bounds[i], bounds[i + 1] - bounds[i]);
        if (whiteSpace(firstScalar(cluster))) {
            flush();
        } else {
            piece += cluster;
        }
    }
    flush();
    return out;
}

// A canonical form of well-formed UTF-8 (UTF8PROC_COMPOSE or UTF8PROC_DECOMPOSE).
inline std::string normalized(std::string_view text, utf8proc_option_t form) {
    utf8proc_uint8_t* mapped = nullptr;
    const utf8proc_ssize_t length =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                     static_cast<utf8proc_ssize_t>(text.size()), &mapped,
                     static_cast<utf8proc_option_t>(UTF8PROC_STABLE | form));
    const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owner(mapped, &std::free);
    if (length < 0) {
        std::abort();  // ill-formed input: a fault of the caller
    }
    return {reinterpret_cast<const char*>(mapped), static_cast<std::size_t>(length)};
}

inline std::string nfc(std::string_view text) {
    return normalized(text, UTF8PROC_COMPOSE);
}

inline std::string nfd(std::string_view text) {
    return normalized(text, UTF8PROC_DECOMPOSE);
}

inline bool landed(std::string_view pasted, std::string_view value) {
    const std::string needle = nfc(collapse(pasted));
    return needle.empty() || nfc(collapse(value)).find(needle) != std::string::npos;
}

}  // namespace slowtext
