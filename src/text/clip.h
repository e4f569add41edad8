// Cutting a text to a limit in UTF-16 units without splitting a user-visible character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace text {

struct Clipped {
    std::string text;
    bool truncated = false;
};

/// The text unchanged when its UTF-16 length is at most `to`; otherwise its prefix up to the
/// start of the cluster that holds unit `to` (nothing when `to` < 1), marked truncated.
Clipped clip(std::string_view utf8, std::int64_t to);

}  // namespace text
