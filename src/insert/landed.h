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

  private:
    std::string needle;  // the pasted text, white space collapsed, in NFC
};

// What an insert makes of the values it reads back while it waits and for its verdict: whether
// a value is still the one from before the paste (canonically), and whether the paste landed in
// it. Each is worked out once per value: read again unchanged, a value gets the same answers.
class ReadBackJudge {
  public:
    ReadBackJudge(std::string_view pasted, std::string before);

    bool unchanged(const std::string& value);
    bool landedIn(const std::string& value);

  private:
    void remember(const std::string& value);

    PasteCheck paste;
    std::string before;
    std::string beforeNfc;
    bool beforeIsNfc = false;
    std::optional<std::string> lastValue;
    std::optional<bool> lastIsNfc;
    std::optional<bool> lastUnchanged;
    std::optional<bool> lastLanded;
};

}  // namespace insert
