// White-space collapsing and canonical normalisation through utf8proc.
#include "text/normalize.h"

#include <cstdlib>
#include <memory>

#include <utf8proc.h>

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

}  // namespace

std::string collapseWhiteSpace(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    bool separated = false;
    ClusterCursor cursor(utf8);
    while (const auto cluster = cursor.next()) {
        if (isWhiteSpace(cluster->first)) {
            separated = true;
            continue;
        }
        if (separated && !out.empty()) {
            out.push_back(' ');
        }
        separated = false;
        out.append(utf8.substr(cluster->begin, cluster->end - cluster->begin));
    }
    return out;
}

std::string nfc(std::string_view utf8) {
    return normalized(utf8, UTF8PROC_COMPOSE);
}

std::string nfd(std::string_view utf8) {
    return normalized(utf8, UTF8PROC_DECOMPOSE);
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) {
        return true;
    }
    return nfc(a) == nfc(b);
}

bool containsCanonically(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) {
        return true;
    }
    return nfc(haystack).find(nfc(needle)) != std::string::npos;
}

}  // namespace text
