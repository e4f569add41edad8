// Extended grapheme cluster segmentation on top of utf8proc's break rules.
#include "text/graphemes.h"

#include <utf8proc.h>

#include "text/decode.h"

namespace text {

bool ClusterCursor::breaksBetween(char32_t before, char32_t after) {
    // No ASCII character extends, prepends or joins, so between two of them only CR LF holds
    // together. Skipping utf8proc there roughly halves the walk over Latin text; its state may be
    // reset after any break.
    if (before < 0x80 && after < 0x80 && before != U'\r') {
        breakState = 0;
        return true;
    }
    return utf8proc_grapheme_break_stateful(static_cast<utf8proc_int32_t>(before),
                                            static_cast<utf8proc_int32_t>(after), &breakState);
}

std::optional<Cluster> ClusterCursor::next() {
    if (pos >= text.size()) {
        return std::nullopt;
    }
    Decoded decoded = decodeAt(text, pos);
    Cluster cluster{pos, pos + decoded.length, decoded.scalar, utf16Units(decoded.scalar)};
    char32_t previous = decoded.scalar;
    // The break state must see every adjacent pair in order (regional-indicator parity, emoji
    // ZWJ sequences), so it lives in the cursor and carries over from one cluster to the next.
    while (cluster.end < text.size()) {
        decoded = decodeAt(text, cluster.end);
        if (breaksBetween(previous, decoded.scalar)) {
            break;
        }
        cluster.end += decoded.length;
        cluster.units += utf16Units(decoded.scalar);
        previous = decoded.scalar;
    }
    pos = cluster.end;
    return cluster;
}

std::vector<std::size_t> graphemeBoundaries(std::string_view utf8) {
    std::vector<std::size_t> boundaries{0};
    ClusterCursor cursor(utf8);
    while (const auto cluster = cursor.next()) {
        boundaries.push_back(cluster->end);
    }
    return boundaries;
}

}  // namespace text
