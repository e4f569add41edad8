// The landed test, and the judging of read-back values with each pass over a text made once.
#include "insert/landed.h"

#include "text/normalize.h"

namespace insert {

bool landed(std::string_view text, std::string_view in) {
    return PasteCheck(text).landedIn(in);
}

PasteCheck::PasteCheck(std::string_view pasted)
    : needle(text::nfc(text::collapseWhiteSpace(pasted))) {}

bool PasteCheck::landedIn(std::string_view value, bool valueIsNfc) const {
    if (needle.empty()) {
        return true;
    }
    // Collapsing keeps characters or drops them whole and adds spaces: NFC stays NFC.
    const std::string collapsed = text::collapseWhiteSpace(value);
    if (valueIsNfc || text::isNfc(collapsed)) {
        return collapsed.find(needle) != std::string::npos;
    }
    return text::nfc(collapsed).find(needle) != std::string::npos;
}

ReadBackJudge::ReadBackJudge(std::string_view pasted, std::string beforeValue)
    : paste(pasted),
      before(std::move(beforeValue)),
      beforeNfc(text::nfc(before)),
      beforeIsNfc(text::isNfc(before)) {}

void ReadBackJudge::remember(const std::string& value) {
    if (!lastValue || *lastValue != value) {
        lastValue = value;
        lastIsNfc = text::isNfc(value);
        lastUnchanged.reset();
        lastLanded.reset();
    }
}

bool ReadBackJudge::unchanged(const std::string& value) {
    remember(value);
    if (!lastUnchanged) {
        // Two texts already in NFC are canonically equal only when they are equal.
        lastUnchanged =
            value == before || (!(*lastIsNfc && beforeIsNfc) && text::nfc(value) == beforeNfc);
    }
    return *lastUnchanged;
}

bool ReadBackJudge::landedIn(const std::string& value) {
    remember(value);
    if (!lastLanded) {
        lastLanded = paste.landedIn(value, *lastIsNfc);
    }
    return *lastLanded;
}

}  // namespace insert
