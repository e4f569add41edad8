// Exact decimal reading: the significant digits and a power of ten, compared as text against the
// bounds of the 64-bit range.
#include "parse/number.h"

#include <string>

namespace parse {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

IntegerLiteral integerLiteral(std::string_view text) {
    IntegerLiteral result;
    std::size_t at = 0;
    if (at < text.size() && text[at] == '-') {
        result.negative = true;
        ++at;
    }
    std::string digits;
    std::int64_t exponent = 0;
    const std::size_t integerStart = at;
    while (at < text.size() && isDigit(text[at])) {
        digits += text[at++];
    }
    if (at == integerStart) {
        return result;  // not a number
    }
    if (at < text.size() && text[at] == '.') {
        ++at;
        while (at < text.size() && isDigit(text[at])) {
            digits += text[at++];
            --exponent;
        }
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        bool negativeExponent = false;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            negativeExponent = text[at++] == '-';
        }
        std::int64_t written = 0;
        while (at < text.size() && isDigit(text[at])) {
            // Saturates: an exponent of a billion digits is as out of range as one of ten.
            written = written < 1'000'000'000 ? written * 10 + (text[at] - '0') : written;
            ++at;
        }
        exponent += negativeExponent ? -written : written;
    }
    if (at != text.size()) {
        return result;
    }
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        result.kind = IntegerLiteral::Kind::integral;  // zero, however written
        return result;
    }
    digits.erase(0, first);
    while (digits.back() == '0') {
        digits.pop_back();
        ++exponent;
    }
    if (exponent < 0) {
        return result;  // a digit stands after the decimal point
    }
    constexpr std::int64_t maxDigits = 19;
    if (static_cast<std::int64_t>(digits.size()) + exponent > maxDigits) {
        result.kind = IntegerLiteral::Kind::outOfRange;
        return result;
    }
    digits.append(static_cast<std::size_t>(exponent), '0');
    const std::string bound = result.negative ? "9223372036854775808" : "9223372036854775807";
    if (digits.size() == bound.size() && digits > bound) {
        result.kind = IntegerLiteral::Kind::outOfRange;
        return result;
    }
    std::uint64_t magnitude = 0;
    for (const char c : digits) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
    }
    result.kind = IntegerLiteral::Kind::integral;
    result.value = result.negative ? static_cast<std::int64_t>(0 - magnitude)
                                   : static_cast<std::int64_t>(magnitude);
    return result;
}

}  // namespace parse
