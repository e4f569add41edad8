// Offset conversion through the text before the farthest offset.
#include "offsets.h"

#include <algorithm>
#include <limits>
#include <string_view>

#include "text/scalars.h"

namespace platform::atspi {

namespace {

constexpr std::int64_t largestOffset = std::numeric_limits<std::int32_t>::max();

std::int32_t narrow(std::int64_t offset) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(offset, 0, largestOffset));
}

}  // namespace

Got<Range> utf16Range(const Target& at, bool password, std::int32_t start, std::int32_t end) {
    if (password) {
        const std::int32_t from = std::max(start, 0);
        return Got<Range>::of(Range{from, std::max<std::int64_t>(std::int64_t{end} - from, 0)});
    }
    const auto before = textBetween(at, 0, end);
    if (!before.ok()) {
        return Got<Range>::failed(before.error);
    }
    const std::int64_t from = text::utf16OfScalars(*before.value, start);
    const std::int64_t to = text::utf16OfScalars(*before.value, end);
    return Got<Range>::of(Range{from, to - from});
}

Got<std::pair<std::int32_t, std::int32_t>> scalarRange(const Target& at, bool password,
                                                       const Range& range) {
    using Result = Got<std::pair<std::int32_t, std::int32_t>>;
    if (range.location < 0 || range.length < 0) {
        return Result::failed(AXError::illegalArgument);
    }
    // Both are clamped first, so that the sum cannot overflow.
    const std::int64_t end =
        std::min(range.location, largestOffset) + std::min(range.length, largestOffset);
    if (password) {
        return Result::of(std::pair{narrow(range.location), narrow(end)});
    }
    // n scalars are at least n units, so the text up to `end` scalars holds the first `end`
    // units whenever the field is that long.
    const auto before = textBetween(at, 0, narrow(end));
    if (!before.ok()) {
        return Result::failed(before.error);
    }
    const std::string_view units = *before.value;
    // An end inside a surrogate pair takes the whole character: a range is never shortened to
    // nothing by splitting one.
    std::int64_t last = text::scalarsOfUtf16(units, end);
    const std::int64_t reached = text::utf16OfScalars(units, last);
    if (reached < end && text::utf16OfScalars(units, last + 1) > reached) {
        ++last;
    }
    return Result::of(std::pair{narrow(text::scalarsOfUtf16(units, range.location)), narrow(last)});
}

}  // namespace platform::atspi
