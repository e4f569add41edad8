// UTF-8 validity, repair, and conversion to and from UTF-16.
#include "text/utf8.h"

#include <simdjson.h>

#include "text/decode.h"

namespace text {

namespace {

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    // The same well-formedness as decodeAt's (no overlong forms, surrogates or scalars above
    // U+10FFFF), checked many bytes at a time: texts of many megabytes pass through here.
    return simdjson::validate_utf8(bytes.data(), bytes.size());
}

std::string toValidUtf8(std::string_view bytes) {
    if (isValidUtf8(bytes)) {
        return std::string(bytes);
    }
    std::string out;
    out.reserve(bytes.size());
    std::size_t copied = 0;  // well-formed runs are copied whole rather than re-encoded
    for (std::size_t pos = 0; pos < bytes.size();) {
        const Decoded decoded = decodeAt(bytes, pos);
        if (!decoded.valid) {
            out.append(bytes.substr(copied, pos - copied));
            appendUtf8(out, replacementCharacter);
            copied = pos + decoded.length;
        }
        pos += decoded.length;
    }
    out.append(bytes.substr(copied));
    return out;
}

std::optional<char32_t> firstScalar(std::string_view utf8) {
    if (utf8.empty()) {
        return std::nullopt;
    }
    return decodeAt(utf8, 0).scalar;
}

void appendUtf8(std::string& out, char32_t scalar) {
    if ((scalar >= 0xD800 && scalar <= 0xDFFF) || scalar > 0x10FFFF) {
        scalar = replacementCharacter;
    }
    const auto put = [&](char32_t bits) { out.push_back(static_cast<char>(bits)); };
    if (scalar < 0x80) {
        put(scalar);
    } else if (scalar < 0x800) {
        put(0xC0 | (scalar >> 6));
        put(0x80 | (scalar & 0x3F));
    } else if (scalar < 0x10000) {
        put(0xE0 | (scalar >> 12));
        put(0x80 | ((scalar >> 6) & 0x3F));
        put(0x80 | (scalar & 0x3F));
    } else {
        put(0xF0 | (scalar >> 18));
        put(0x80 | ((scalar >> 12) & 0x3F));
        put(0x80 | ((scalar >> 6) & 0x3F));
        put(0x80 | (scalar & 0x3F));
    }
}

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const Decoded decoded = decodeAt(utf8, pos);
        if (decoded.scalar > 0xFFFF) {
            const char32_t offset = decoded.scalar - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(decoded.scalar));
        }
        pos += decoded.length;
    }
    return out;
}

std::string fromUtf16(std::u16string_view units) {
    std::string out;
    out.reserve(units.size() * 3);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        if (isHighSurrogate(unit) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
            const char32_t high = unit - 0xD800u;
            const char32_t low = units[i + 1] - 0xDC00u;
            appendUtf8(out, 0x10000 + ((high << 10) | low));
            ++i;
        } else {
            // appendUtf8 turns a lone surrogate into U+FFFD.
            appendUtf8(out, unit);
        }
    }
    return out;
}

std::size_t utf8SequenceLength(std::string_view bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0U;
    };
    const unsigned lead = byte(at);
    unsigned low = 0x80;
    unsigned high = 0xBF;
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    const unsigned second = byte(at + 1);
    if (second < low || second > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        const unsigned b = byte(at + i);
        if (b < 0x80 || b > 0xBF) {
            return 0;
        }
    }
    return length;
}

}  // namespace text
