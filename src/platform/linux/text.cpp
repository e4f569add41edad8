// Text reads and offset conversion. Where the toolkit counts code points, a conversion needs the
// text up to the offset: the last whole text fetched stands in for it while the object's
// character count is unchanged, else only the part before the offset is fetched. Ends are
// clamped to the character count before they are asked: Gecko and Qt answer an empty text, not
// a shorter one, for a range that runs past the end.
#include "text.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <string_view>

#include "toolkit.h"

namespace platform::atspi {

namespace {

constexpr std::int64_t largestOffset = std::numeric_limits<std::int32_t>::max();

std::int32_t narrow(std::int64_t offset) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(offset, 0, largestOffset));
}

const Toolkit& toolkitAt(const Target& at) {
    return toolkitOf(at.ref.bus, at.timeoutMs);
}

bool countsUtf16(const Target& at) {
    return toolkitAt(at).offsets == Toolkit::Offsets::utf16;
}

Got<std::int32_t> characterCount(const Target& at) {
    const Reply reply = property(at.ref, textInterface, "CharacterCount", at.timeoutMs);
    if (!reply.ok()) {
        return Got<std::int32_t>::failed(errorOf(reply));
    }
    const auto count = readInt32(reply);
    return count ? Got<std::int32_t>::of(std::max(*count, 0))
                 : Got<std::int32_t>::failed(AXError::failure);
}

void remember(ElementObject& element, const std::string& raw, std::int32_t count) {
    auto kept = std::make_shared<const std::string>(raw);
    std::lock_guard lock(element.mutex);
    element.text = std::move(kept);
    element.textCount = count;
    element.textMark = {0, 0, 0};
}

// A place in a text: its byte offset, and the code points and UTF-16 units before it.
struct Place {
    std::size_t byte = 0;
    std::int64_t scalars = 0;
    std::int64_t units = 0;
};

// D-Bus strings are well-formed UTF-8: a character starts at every byte that is no continuation
// byte, and takes two UTF-16 units when its lead byte says four bytes.
std::size_t lengthAt(std::string_view text, std::size_t byte) {
    const auto lead = static_cast<unsigned char>(text[byte]);
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// Forward from `from` to `target` code points, or the end of the text.
Place toScalars(std::string_view text, Place from, std::int64_t target) {
    while (from.byte < text.size() && from.scalars < target) {
        const std::size_t length = lengthAt(text, from.byte);
        from.byte = std::min(from.byte + length, text.size());
        from.scalars += 1;
        from.units += length == 4 ? 2 : 1;
    }
    return from;
}

// Forward from `from` to the character that starts at `target` units, or the one whose two units
// `target` falls between, or the end of the text.
Place toUnits(std::string_view text, Place from, std::int64_t target) {
    while (from.byte < text.size()) {
        const std::size_t length = lengthAt(text, from.byte);
        const std::int64_t units = length == 4 ? 2 : 1;
        if (from.units + units > target) {
            break;
        }
        from.byte = std::min(from.byte + length, text.size());
        from.scalars += 1;
        from.units += units;
    }
    return from;
}

// The text a conversion works on: the last whole text, conversions in it going on from the last
// place converted at; or a part fetched for this conversion alone.
struct Source {
    std::shared_ptr<const std::string> text;
    ElementObject* remembered = nullptr;  // the element whose last whole text it is
};

Place startFor(const Source& source, bool byScalars, std::int64_t target) {
    if (source.remembered == nullptr) {
        return {};
    }
    std::lock_guard lock(source.remembered->mutex);
    const auto& [byte, scalars, units] = source.remembered->textMark;
    if ((byScalars ? scalars : units) > target || source.remembered->text != source.text) {
        return {};
    }
    return Place{static_cast<std::size_t>(byte), scalars, units};
}

void markAt(const Source& source, const Place& place) {
    if (source.remembered == nullptr) {
        return;
    }
    std::lock_guard lock(source.remembered->mutex);
    if (source.remembered->text == source.text) {
        source.remembered->textMark = {static_cast<std::int64_t>(place.byte), place.scalars,
                                       place.units};
    }
}

// The toolkit's text up to `end` code points, as fetched (never unpadded: only code-point
// toolkits come here). The last whole text serves while the count says nothing was added or
// taken away.
Got<Source> prefix(TextSubject& s, std::int32_t end) {
    const auto count = characterCount(s.at);
    if (!count.ok()) {
        return Got<Source>::failed(count.error);
    }
    {
        std::lock_guard lock(s.element.mutex);
        if (s.element.text && s.element.textCount == *count.value) {
            return Got<Source>::of(Source{s.element.text, &s.element});
        }
    }
    const std::int32_t upTo = std::min(end, *count.value);
    const Reply reply = call(s.at.ref, textInterface, "GetText",
                             {Argument::of(std::int32_t{0}), Argument::of(upTo)}, s.at.timeoutMs);
    if (!reply.ok()) {
        return Got<Source>::failed(errorOf(reply));
    }
    auto text = readString(reply);
    if (!text) {
        return Got<Source>::failed(AXError::failure);
    }
    if (upTo == *count.value) {
        remember(s.element, *text, *count.value);
        std::lock_guard lock(s.element.mutex);
        return Got<Source>::of(Source{s.element.text, &s.element});
    }
    return Got<Source>::of(Source{std::make_shared<const std::string>(std::move(*text))});
}

// Whether the toolkit offset `end` falls inside a character of two UTF-16 units, as the one
// character that the text from end - 1 to end + 1 then is (Qt gives it whole, Gecko with its
// padding after it).
bool insidePair(const Target& at, std::int32_t end) {
    if (end < 1) {
        return false;
    }
    const Reply reply = call(at.ref, textInterface, "GetText",
                             {Argument::of(end - 1), Argument::of(end + 1)}, at.timeoutMs);
    const auto around = readString(reply);
    return around && around->size() >= 4 && (static_cast<unsigned char>((*around)[0]) >= 0xF0);
}

}  // namespace

std::string withoutAstralPadding(std::string text) {
    static constexpr std::string_view padding = "\xEF\xBB\xBF";
    std::size_t kept = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const bool astral = static_cast<unsigned char>(text[at]) >= 0xF0;
        const std::size_t end = std::min(at + (astral ? 4 : 1), text.size());
        while (at < end) {
            text[kept++] = text[at++];
        }
        if (astral && std::string_view(text).substr(at, padding.size()) == padding) {
            at += padding.size();
        }
    }
    text.resize(kept);
    return text;
}

Got<std::string> wholeText(TextSubject& s) {
    // Asked up to the count, never to -1 for the end: GTK 4.8's entries answer that with nothing.
    const auto count = characterCount(s.at);
    if (!count.ok()) {
        return Got<std::string>::failed(count.error);
    }
    const Reply reply =
        call(s.at.ref, textInterface, "GetText",
             {Argument::of(std::int32_t{0}), Argument::of(*count.value)}, s.at.timeoutMs);
    if (!reply.ok()) {
        return Got<std::string>::failed(errorOf(reply));
    }
    auto text = readString(reply);
    if (!text) {
        return Got<std::string>::failed(AXError::failure);
    }
    const Toolkit& toolkit = toolkitAt(s.at);
    if (toolkit.offsets == Toolkit::Offsets::scalars) {
        remember(s.element, *text, *count.value);
    }
    return Got<std::string>::of(toolkit.padsAstral ? withoutAstralPadding(std::move(*text))
                                                   : std::move(*text));
}

Got<std::string> textBetweenOffsets(const Target& at, std::int32_t start, std::int32_t end) {
    const Reply reply = call(at.ref, textInterface, "GetText",
                             {Argument::of(start), Argument::of(end)}, at.timeoutMs);
    if (!reply.ok()) {
        return Got<std::string>::failed(errorOf(reply));
    }
    auto text = readString(reply);
    if (!text) {
        return Got<std::string>::failed(AXError::failure);
    }
    return Got<std::string>::of(toolkitAt(at).padsAstral ? withoutAstralPadding(std::move(*text))
                                                         : std::move(*text));
}

Got<std::int64_t> utf16Length(TextSubject& s) {
    if (s.password || countsUtf16(s.at)) {
        const auto count = characterCount(s.at);
        return count.ok() ? Got<std::int64_t>::of(*count.value)
                          : Got<std::int64_t>::failed(count.error);
    }
    const auto all = prefix(s, std::numeric_limits<std::int32_t>::max());
    if (!all.ok()) {
        return Got<std::int64_t>::failed(all.error);
    }
    const Source& source = *all.value;
    const Place end = toScalars(*source.text, startFor(source, true, largestOffset), largestOffset);
    markAt(source, end);
    return Got<std::int64_t>::of(end.units);
}

Got<Range> utf16Range(TextSubject& s, std::int32_t start, std::int32_t end) {
    if (s.password || countsUtf16(s.at)) {
        const std::int32_t from = std::max(start, 0);
        return Got<Range>::of(Range{from, std::max<std::int64_t>(std::int64_t{end} - from, 0)});
    }
    const auto before = prefix(s, end);
    if (!before.ok()) {
        return Got<Range>::failed(before.error);
    }
    // One pass: to the start, and from there on to the end.
    const Source& source = *before.value;
    const std::string_view text = *source.text;
    const Place from = toScalars(text, startFor(source, true, start), start);
    const Place to = toScalars(text, from, end);
    markAt(source, to);
    return Got<Range>::of(Range{from.units, to.units - from.units});
}

Got<std::pair<std::int32_t, std::int32_t>> toolkitRange(TextSubject& s, const Range& range) {
    using Result = Got<std::pair<std::int32_t, std::int32_t>>;
    if (range.location < 0 || range.length < 0) {
        return Result::failed(AXError::illegalArgument);
    }
    // Both are clamped first, so that the sum cannot overflow.
    const std::int64_t end =
        std::min(range.location, largestOffset) + std::min(range.length, largestOffset);
    if (s.password) {
        return Result::of(std::pair{narrow(range.location), narrow(end)});
    }
    if (countsUtf16(s.at)) {
        std::int32_t last = narrow(end);
        if (range.length > 0 && insidePair(s.at, last)) {
            ++last;
        }
        return Result::of(std::pair{narrow(range.location), last});
    }
    // n scalars are at least n units, so the text up to `end` scalars holds the first `end`
    // units whenever the field is that long.
    const auto before = prefix(s, narrow(end));
    if (!before.ok()) {
        return Result::failed(before.error);
    }
    const Source& source = *before.value;
    const std::string_view text = *source.text;
    const Place from = toUnits(text, startFor(source, false, range.location), range.location);
    Place to = toUnits(text, from, end);
    markAt(source, to);
    // An end inside a surrogate pair takes the whole character: a range is never shortened to
    // nothing by splitting one.
    std::int64_t last = to.scalars;
    if (to.units < end && to.byte < text.size()) {
        ++last;
    }
    return Result::of(std::pair{narrow(from.scalars), narrow(last)});
}

}  // namespace platform::atspi
