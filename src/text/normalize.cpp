// White-space collapsing and canonical normalisation through utf8proc.
#include "text/normalize.h"

#include <cstdlib>
#include <memory>
#include <optional>

#include <utf8proc.h>

#include "text/code_points.h"
#include "text/decode.h"
#include "text/graphemes.h"
#include "text/utf8.h"
#include "text/white_space.h"

namespace text {

namespace {

bool isAscii(std::string_view bytes) {
    for (const char byte : bytes) {
        if (static_cast<unsigned char>(byte) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::string normalized(std::string_view utf8, utf8proc_option_t form) {
    // ASCII is its own NFC and NFD, and it is most of what the program compares.
    if (isAscii(utf8)) {
        return std::string(utf8);
    }
    std::string valid = toValidUtf8(utf8);
    utf8proc_uint8_t* mapped = nullptr;
    // Without UTF8PROC_NULLTERM the explicit length is used, so NUL bytes are ordinary characters.
    const utf8proc_ssize_t length =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(valid.data()),
                     static_cast<utf8proc_ssize_t>(valid.size()), &mapped,
                     static_cast<utf8proc_option_t>(UTF8PROC_STABLE | form));
    const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owner(mapped, &std::free);
    if (length < 0) {
        // Only an allocation failure gets here, since the input is valid: keep the text as it is
        // rather than lose it.
        return valid;
    }
    return {reinterpret_cast<const char*>(mapped), static_cast<std::size_t>(length)};
}

// The lead bytes of the White_Space code points: tab to carriage return, space, and the leads of
// U+0085, U+00A0, U+1680, U+2000 to U+205F and U+3000.
bool mayStartWhiteSpace(unsigned char lead) {
    return (lead >= 0x09 && lead <= 0x0D) || lead == 0x20 || lead == 0xC2 || lead == 0xE1 ||
           lead == 0xE2 || lead == 0xE3;
}

// Whether a cluster boundary falls before the white-space character `next`: below U+0600 no
// character prepends itself to what follows, so only a carriage return before a line feed holds.
bool breaksBefore(char32_t previous, char32_t next) {
    if (previous < 0x600) {
        return !(previous == U'\r' && next == U'\n');
    }
    // Before white space (a control or a break class Other character) only a prepended mark
    // holds the break back.
    if (!prepends(previous)) {
        return true;
    }
    return utf8proc_grapheme_break(static_cast<utf8proc_int32_t>(previous),
                                   static_cast<utf8proc_int32_t>(next));
}

}  // namespace

bool isNfc(std::string_view utf8) {
    for (std::size_t pos = 0; pos < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[pos]);
        if (lead < 0x80) {
            ++pos;
            continue;
        }
        const Decoded decoded = decodeAt(utf8, pos);
        if (!decoded.valid || (decoded.scalar >= 0x300 && !stableUnderNfc(decoded.scalar))) {
            return false;
        }
        pos += decoded.length;
    }
    return true;
}

bool isPlainNfc(std::string_view utf8) {
    for (std::size_t pos = 0; pos < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[pos]);
        if (lead < 0x80) {
            ++pos;
            continue;
        }
        const Decoded decoded = decodeAt(utf8, pos);
        if (!decoded.valid || !stableUnderNfc(decoded.scalar) || !standsAlone(decoded.scalar)) {
            return false;
        }
        pos += decoded.length;
    }
    return true;
}

std::string collapseWhiteSpace(std::string_view utf8) {
    // Only the clusters that start with white space are dropped; everything between them is kept
    // byte for byte, so cluster boundaries are looked for only where white space stands: whether
    // one begins there, and how far the characters that extend it reach.
    std::string out;
    out.reserve(utf8.size());
    bool separated = false;
    std::size_t keptFrom = 0;
    std::optional<char32_t> previous;
    const auto keep = [&](std::size_t end) {
        if (end > keptFrom) {
            if (separated && !out.empty()) {
                out.push_back(' ');
            }
            separated = false;
            out.append(utf8.substr(keptFrom, end - keptFrom));
        }
    };
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[pos]);
        if (!mayStartWhiteSpace(lead)) {
            const Decoded decoded = lead < 0x80 ? Decoded{lead, 1, true} : decodeAt(utf8, pos);
            previous = decoded.scalar;
            pos += decoded.length;
            continue;
        }
        const Decoded decoded = decodeAt(utf8, pos);
        // White space that begins no cluster (after a prepended mark, or LF after CR) belongs
        // to the cluster before it. Neither question depends on what came before the pair.
        if (!isWhiteSpace(decoded.scalar) ||
            (previous && !breaksBefore(*previous, decoded.scalar))) {
            previous = decoded.scalar;
            pos += decoded.length;
            continue;
        }
        keep(pos);
        std::size_t end = pos + decoded.length;
        char32_t last = decoded.scalar;
        utf8proc_int32_t state = 0;
        while (end < utf8.size()) {
            const Decoded next = decodeAt(utf8, end);
            // Below U+0300 nothing extends a cluster, and a line feed only a carriage return.
            if (next.scalar < 0x300 && !(last == U'\r' && next.scalar == U'\n')) {
                break;
            }
            if (utf8proc_grapheme_break_stateful(static_cast<utf8proc_int32_t>(last),
                                                 static_cast<utf8proc_int32_t>(next.scalar),
                                                 &state)) {
                break;
            }
            last = next.scalar;
            end += next.length;
        }
        separated = true;
        previous = last;
        pos = end;
        keptFrom = end;
    }
    keep(pos);
    return out;
}

std::string nfc(std::string_view utf8) {
    if (isNfc(utf8)) {
        return std::string(utf8);
    }
    return normalized(utf8, UTF8PROC_COMPOSE);
}

std::string nfd(std::string_view utf8) {
    return normalized(utf8, UTF8PROC_DECOMPOSE);
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) {
        return true;
    }
    // Two texts already in NFC are canonically equal only when they are the same.
    if (isNfc(a) && isNfc(b)) {
        return false;
    }
    return nfc(a) == nfc(b);
}

bool containsCanonically(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) {
        return true;
    }
    const std::string normalNeedle = nfc(needle);
    if (isNfc(haystack)) {
        return haystack.find(normalNeedle) != std::string_view::npos;
    }
    return nfc(haystack).find(normalNeedle) != std::string::npos;
}

}  // namespace text
