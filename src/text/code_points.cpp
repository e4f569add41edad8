// Per-code-point answers for the text rules, decided on first use from utf8proc's properties.
#include "text/code_points.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include <utf8proc.h>

#include "text/utf8.h"

namespace text {

namespace {

enum Trait : std::uint8_t {
    decided = 0x80,
    nfcStable = 0x01,
    alone = 0x02,
    prepend = 0x04,
};

bool ownNfc(char32_t c) {
    std::string single;
    appendUtf8(single, c);
    utf8proc_uint8_t* mapped = nullptr;
    const utf8proc_ssize_t length =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(single.data()),
                     static_cast<utf8proc_ssize_t>(single.size()), &mapped,
                     static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owner(mapped, &std::free);
    return length == static_cast<utf8proc_ssize_t>(single.size()) &&
           single.compare(0, single.size(), reinterpret_cast<const char*>(mapped),
                          static_cast<std::size_t>(length)) == 0;
}

// Whether the code point is the second half of a primary composition, so that it may compose
// with what precedes it. utf8proc 2.9 has a field of its own for that; before, the top bit of
// the composition index carried it.
template <class Property>
bool secondHalf(const Property& property) {
    if constexpr (requires { property.comb_issecond; }) {
        return property.comb_issecond != 0;
    } else {
        constexpr utf8proc_uint16_t none = 0xFFFF;
        constexpr utf8proc_uint16_t secondBit = 0x8000;
        return property.comb_index != none && (property.comb_index & secondBit) != 0;
    }
}

// Whether the canonical decomposition begins with the second half of a composition pair: such a
// composite (Unicode 16's Kirat Rai and Tulu-Tigalari vowel signs) may compose with what
// precedes it as that half does, though it is no second half itself.
bool decomposesToASecondHalf(char32_t c) {
    utf8proc_int32_t parts[8];
    utf8proc_int32_t boundary = 0;
    const utf8proc_ssize_t count = utf8proc_decompose_char(static_cast<utf8proc_int32_t>(c), parts,
                                                           8, UTF8PROC_DECOMPOSE, &boundary);
    return count > 0 && count <= 8 && parts[0] != static_cast<utf8proc_int32_t>(c) &&
           secondHalf(*utf8proc_get_property(parts[0]));
}

bool stableFrom(char32_t c, const utf8proc_property_t& property) {
    // Hangul vowels and trailing consonants compose with what precedes them, by rule.
    if ((c >= 0x1161 && c <= 0x1175) || (c >= 0x11A8 && c <= 0x11C2)) {
        return false;
    }
    // A non-starter may be reordered; the second half of a composition pair, or a composite
    // that begins with one, may compose with what precedes it.
    if (property.combining_class != 0 || secondHalf(property) || decomposesToASecondHalf(c)) {
        return false;
    }
    // Its own NFC: no singleton, no excluded or non-starter decomposition.
    return ownNfc(c);
}

// The Brahmic and South-East Asian blocks, where newer Unicode versions join consonants across
// a virama (and may add scripts): kept out wholesale so that no version of the tables matters.
bool conjunctScript(char32_t c) {
    return (c >= 0x0900 && c <= 0x1CFF) || (c >= 0xA800 && c <= 0xABFF) ||
           (c >= 0x10000 && c <= 0x1FFFF);
}

std::uint8_t decide(char32_t c) {
    const utf8proc_property_t& property = *utf8proc_get_property(static_cast<utf8proc_int32_t>(c));
    std::uint8_t traits = decided;
    if (stableFrom(c, property)) {
        traits |= nfcStable;
    }
    switch (property.boundclass) {
        case UTF8PROC_BOUNDCLASS_OTHER:
        case UTF8PROC_BOUNDCLASS_CONTROL:
        case UTF8PROC_BOUNDCLASS_CR:
        case UTF8PROC_BOUNDCLASS_LF:
            if (!conjunctScript(c)) {
                traits |= alone;
            }
            break;
        case UTF8PROC_BOUNDCLASS_PREPEND:
            traits |= prepend;
            break;
        default:
            break;
    }
    return traits;
}

// Zero-initialised static storage: pages are touched only for the code points met.
std::atomic<std::uint8_t> known[0x110000];

std::uint8_t traitsOf(char32_t c) {
    if (c < 0x80) {
        // ASCII: starters of their own NFC, each of break class Other, Control, CR or LF.
        return decided | nfcStable | alone;
    }
    if (c > 0x10FFFF) {
        c = 0xFFFD;
    }
    std::atomic<std::uint8_t>& slot = known[c];
    std::uint8_t traits = slot.load(std::memory_order_relaxed);
    if (traits == 0) {
        traits = decide(c);
        slot.store(traits, std::memory_order_relaxed);
    }
    return traits;
}

}  // namespace

bool stableUnderNfc(char32_t c) {
    return (traitsOf(c) & nfcStable) != 0;
}

bool standsAlone(char32_t c) {
    return (traitsOf(c) & alone) != 0;
}

bool prepends(char32_t c) {
    return (traitsOf(c) & prepend) != 0;
}

}  // namespace text
