// Decoding of one UTF-8 sequence at a time, shared by every measure in this module.
// Ill-formed input decodes as U+FFFD per maximal subpart, so all measures agree on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace text {

inline constexpr char32_t replacementCharacter = U'\uFFFD';

/// One decoded sequence: its scalar (U+FFFD when ill-formed), its length in bytes (never 0 inside
/// the string) and whether the bytes were well formed.
struct Decoded {
    char32_t scalar = replacementCharacter;
    std::size_t length = 0;
    bool valid = false;
};

/// Decodes the sequence that starts at `pos`; `pos` must be inside `utf8`.
inline Decoded decodeAt(std::string_view utf8, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        return {lead, 1, true};
    }
    std::size_t needed = 0;
    char32_t scalar = 0;
    // The second byte's range is narrower than 80..BF for some leads: that is what excludes
    // overlong forms, surrogates and scalars above U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        needed = 1;
        scalar = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        needed = 2;
        scalar = lead & 0x0Fu;
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        needed = 3;
        scalar = lead & 0x07u;
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
    } else {
        return {replacementCharacter, 1, false};
    }
    std::size_t length = 1;
    for (; length <= needed; ++length) {
        if (pos + length >= utf8.size()) {
            return {replacementCharacter, length, false};
        }
        const unsigned char next = byte(pos + length);
        if (next < low || next > high) {
            return {replacementCharacter, length, false};
        }
        low = 0x80;
        high = 0xBF;
        scalar = (scalar << 6) | (next & 0x3Fu);
    }
    return {scalar, length, true};
}

/// The number of UTF-16 code units the scalar takes.
constexpr std::int64_t utf16Units(char32_t scalar) {
    return scalar > 0xFFFF ? 2 : 1;
}

}  // namespace text
