// Whether a pasted text shows in a value: white space differences and canonically equivalent
// spellings do not count, everything else (letter case included) does.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace insert {

// True when the normalised value holds the normalised text as a contiguous substring. A text
// that normalises to nothing counts as landed: there was nothing to see.
bool landed(std::string_view text, std::string_view in);

// The same rule with the pasted text normalised once, for judging many values against it.
class PasteCheck {
  public:
    explicit PasteCheck(std::string_view pasted);
    // `valueIsNfc`: the caller knows the value is in NFC, and so is what collapsing makes of it.
    bool landedIn(std::string_view value, bool valueIsNfc = false) const;
    // The rule worked through, without the quick answer: for a value it was already asked of.
    bool landedByRule(std::string_view value, bool valueIsNfc = false) const;

    // Landed for certain, seen without collapsing or normalising the value: the normalised text
    // stands in it byte for byte, and what follows it cannot compose with it. Absent when only
    // `landedIn` can tell. It says whether the value is in NFC (as text::isNfc would), worked out
    // from what lies around the text.
    struct Quick {
        bool valueIsNfc = false;
    };
    std::optional<Quick> quickLandedIn(std::string_view value) const;

  private:
    std::string needle;  // the pasted text, white space collapsed, in NFC
    bool plain = false;  // the pasted text is text::isPlainNfc, and so is the needle
};

// What an insert makes of the values it reads back while it waits and for its verdict: whether
// a value is still the one from before the paste (canonically), and whether the paste landed in
// it. Each is worked out once per value: read again unchanged, a value gets the same answers. A
// value is kept, not copied: large ones are read back whole.
class ReadBackJudge {
  public:
    ReadBackJudge(std::string_view pasted, std::string before);

    bool unchanged(std::string value);
    bool landedIn(std::string value);
    // Both at once: no longer the value from before, and the paste landed in it.
    bool arrived(std::string value);

  private:
    void remember(std::string value);
    bool lastIsNfc();
    bool lastUnchangedFromBefore();
    bool lastHoldsPaste();

    PasteCheck paste;
    std::string before;
    std::string beforeNfc;
    bool beforeIsNfc = false;
    std::optional<std::string> lastValue;
    std::optional<bool> lastNfc;
    std::optional<bool> lastUnchanged;
    std::optional<bool> lastLanded;
};

}  // namespace insert
