// The text utilities against their invariants on arbitrary Unicode: clipping never splits a
// grapheme cluster, never grows and keeps as much as fits; UTF-16 measures agree with a plain
// count; `landed` agrees with a slow reference that normalises, collapses and searches, also on
// values that hold the pasted text as it was written.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "insert/landed.h"
#include "request_check.h"
#include "support/slow_text.h"
#include "text/clip.h"
#include "text/graphemes.h"
#include "text/normalize.h"
#include "text/utf16.h"
#include "text/utf8.h"

namespace {

void checkClip(const std::string& text, std::int64_t limit) {
    const text::Clipped clipped = text::clip(text, limit);
    const std::vector<std::size_t> bounds = text::graphemeBoundaries(text);
    const std::size_t kept = clipped.text.size();
    if (text.compare(0, kept, clipped.text) != 0 || kept > text.size()) {
        fuzzcheck::finding("a clip that is not a prefix");
    }
    if (std::find(bounds.begin(), bounds.end(), kept) == bounds.end()) {
        fuzzcheck::finding("a clip inside a grapheme cluster");
    }
    if (text::utf16Length(clipped.text) > std::max<std::int64_t>(limit, 0)) {
        fuzzcheck::finding("a clip longer than its limit");
    }
    // Truncated means the text was longer than the limit (so an empty text is, under a limit
    // below zero); a text that fits comes back whole.
    if (clipped.truncated != (text::utf16Length(text) > limit) ||
        (!clipped.truncated && kept != text.size())) {
        fuzzcheck::finding("a clip that says truncated wrongly");
    }
    // As much as fits: the next cluster would not have.
    const auto next = std::upper_bound(bounds.begin(), bounds.end(), kept);
    if (next != bounds.end() && text::utf16Length(text.substr(0, *next)) <= limit) {
        fuzzcheck::finding("a clip that stops before the limit");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::int64_t limit = static_cast<std::int8_t>(data[0]) * 4 + data[1] % 4;
    const std::string text =
        text::toValidUtf8(std::string_view(reinterpret_cast<const char*>(data + 2), size - 2));
    checkClip(text, limit);
    if (text::utf16Length(text) != static_cast<std::int64_t>(text::toUtf16(text).size())) {
        fuzzcheck::finding("a UTF-16 length that differs from the units");
    }
    // The first NUL splits the input into a pasted text and a field's value.
    const std::size_t split = text.find('\0');
    const std::string_view pasted = std::string_view(text).substr(0, split);
    const std::string_view value =
        split == std::string::npos ? std::string_view() : std::string_view(text).substr(split + 1);
    if (text::collapseWhiteSpace(text) != slowtext::collapse(text)) {
        fuzzcheck::finding("collapsing disagrees with the cluster by cluster reference");
    }
    if (insert::landed(pasted, value) != slowtext::landed(pasted, value)) {
        fuzzcheck::finding("landed disagrees with the slow reference");
    }
    // The pasted text as a field holds it after the paste, inside what was there: where the
    // quick answer is taken, it must agree too, and tell the value's NFC as the check does.
    std::size_t middle = value.size() / 2;
    while (middle > 0 && (static_cast<unsigned char>(value[middle]) & 0xC0) == 0x80) {
        --middle;
    }
    const std::string around = std::string(value.substr(0, middle)) + std::string(pasted) +
                               std::string(value.substr(middle));
    if (insert::landed(pasted, around) != slowtext::landed(pasted, around)) {
        fuzzcheck::finding("landed disagrees with the slow reference on a pasted value");
    }
    const auto quick = insert::PasteCheck(pasted).quickLandedIn(around);
    if (quick && quick->valueIsNfc != text::isNfc(around)) {
        fuzzcheck::finding("the quick answer tells the value's NFC wrongly");
    }
    return 0;
}
