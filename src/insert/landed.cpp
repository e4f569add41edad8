// The landed test, and the judging of read-back values with each pass over a text made once.
#include "insert/landed.h"

#include <algorithm>
#include <cstring>

#include "text/code_points.h"
#include "text/decode.h"
#include "text/normalize.h"

namespace insert {

namespace {

// Where `needle` first occurs in `haystack`. Candidates found by the needle's first bytes are
// compared 64 KB at a time, which for the usual large paste (found at once) is one pass over
// the needle; when texts that repeat themselves make the candidates cost more than a pass over
// the value, the linear search takes over (its preparation alone takes a while for a long
// needle).
// The needle is not empty.
std::optional<std::size_t> find(std::string_view haystack, std::string_view needle) {
    if (needle.size() > haystack.size()) {
        return std::nullopt;
    }
    const std::string_view key = needle.substr(0, 16);
    std::size_t budget = haystack.size();
    std::size_t from = 0;
    while (from + needle.size() <= haystack.size()) {
        const void* hit =
            ::memmem(haystack.data() + from, haystack.size() - from, key.data(), key.size());
        if (hit == nullptr) {
            return std::nullopt;
        }
        const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - haystack.data());
        if (at + needle.size() > haystack.size()) {
            return std::nullopt;
        }
        constexpr std::size_t block = std::size_t{64} * 1024;
        std::size_t same = key.size();
        while (same < needle.size()) {
            const std::size_t n = std::min(block, needle.size() - same);
            if (std::memcmp(haystack.data() + at + same, needle.data() + same, n) != 0) {
                break;
            }
            same += n;
        }
        if (same >= needle.size()) {
            return at;
        }
        const std::size_t spent = std::min(same + block, budget);
        budget -= spent;
        from = at + 1;
        if (budget == 0) {
            const void* found = ::memmem(haystack.data() + from, haystack.size() - from,
                                         needle.data(), needle.size());
            return found == nullptr ? std::nullopt
                                    : std::optional<std::size_t>(static_cast<std::size_t>(
                                          static_cast<const char*>(found) - haystack.data()));
        }
    }
    return std::nullopt;
}

}  // namespace

bool landed(std::string_view text, std::string_view in) {
    return PasteCheck(text).landedIn(in);
}

PasteCheck::PasteCheck(std::string_view pasted) : plain(text::isPlainNfc(pasted)) {
    // Collapsing keeps characters or drops them whole and adds spaces: NFC stays NFC.
    std::string collapsed = text::collapseWhiteSpace(pasted);
    needle = plain ? std::move(collapsed) : text::nfc(collapsed);
}

bool PasteCheck::landedIn(std::string_view value, bool valueIsNfc) const {
    return quickLandedIn(value) || landedByRule(value, valueIsNfc);
}

bool PasteCheck::landedByRule(std::string_view value, bool valueIsNfc) const {
    if (needle.empty()) {
        return true;
    }
    const std::string collapsed = text::collapseWhiteSpace(value);
    if (valueIsNfc || text::isNfc(collapsed)) {
        return collapsed.find(needle) != std::string::npos;
    }
    return text::nfc(collapsed).find(needle) != std::string::npos;
}

std::optional<PasteCheck::Quick> PasteCheck::quickLandedIn(std::string_view value) const {
    if (!plain || needle.empty()) {
        return std::nullopt;
    }
    const std::optional<std::size_t> found = find(value, needle);
    if (!found) {
        return std::nullopt;
    }
    // The needle starts with a lead byte, so it starts a code point wherever it is found.
    const std::size_t at = *found;
    const std::size_t end = at + needle.size();
    // Its code points stand alone, so in the value its white space begins clusters as it did in
    // the text, and its clusters can only be joined at the edges: by a prepended mark before it
    // or a mark after it, which leaves their bytes to collapsing as they are, since neither
    // cluster begins with white space. Its first character composes with nothing before it; the
    // one after it must not compose back into it either (white space never does, and ill-formed
    // bytes are U+FFFD to NFC).
    if (end < value.size() && !text::stableUnderNfc(text::decodeAt(value, end).scalar)) {
        return std::nullopt;
    }
    // Whether a text is in NFC is decided code point by code point, and the needle's all pass.
    return Quick{text::isNfc(value.substr(0, at)) && text::isNfc(value.substr(end))};
}

ReadBackJudge::ReadBackJudge(std::string_view pasted, std::string beforeValue)
    : paste(pasted),
      before(std::move(beforeValue)),
      beforeNfc(text::nfc(before)),
      beforeIsNfc(text::isNfc(before)) {}

void ReadBackJudge::remember(std::string value) {
    if (lastValue && *lastValue == value) {
        return;
    }
    lastValue = std::move(value);
    lastNfc.reset();
    lastUnchanged.reset();
    lastLanded.reset();
    // The paste usually stands in the value as it was written: then neither the value nor the
    // text needs another pass.
    if (const std::optional<PasteCheck::Quick> quick = paste.quickLandedIn(*lastValue)) {
        lastLanded = true;
        lastNfc = quick->valueIsNfc;
    }
}

bool ReadBackJudge::lastIsNfc() {
    if (!lastNfc) {
        lastNfc = text::isNfc(*lastValue);
    }
    return *lastNfc;
}

bool ReadBackJudge::lastUnchangedFromBefore() {
    if (!lastUnchanged) {
        // Two texts already in NFC are canonically equal only when they are equal.
        lastUnchanged = *lastValue == before ||
                        (!(beforeIsNfc && lastIsNfc()) && text::nfc(*lastValue) == beforeNfc);
    }
    return *lastUnchanged;
}

bool ReadBackJudge::lastHoldsPaste() {
    if (!lastLanded) {
        // The quick answer was asked when the value was remembered.
        lastLanded = paste.landedByRule(*lastValue, lastIsNfc());
    }
    return *lastLanded;
}

bool ReadBackJudge::unchanged(std::string value) {
    remember(std::move(value));
    return lastUnchangedFromBefore();
}

bool ReadBackJudge::landedIn(std::string value) {
    remember(std::move(value));
    return lastHoldsPaste();
}

bool ReadBackJudge::arrived(std::string value) {
    remember(std::move(value));
    return !lastUnchangedFromBefore() && lastHoldsPaste();
}

}  // namespace insert
