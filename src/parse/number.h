// What an integer field makes of a JSON number, decided from the number's text: a double loses
// the last digits of large numbers, so -9223372036854775809 would pass as -2^63.
#pragma once

#include <cstdint>
#include <string_view>

namespace parse {

struct IntegerLiteral {
    enum class Kind { integral, fractional, outOfRange };
    Kind kind = Kind::fractional;
    std::int64_t value = 0;  // for integral
    bool negative = false;
};

// The exact value of a JSON number text (42, -7.0, 1e3, 2.5e-1, ...) as a 64-bit integer when it
// is integral and fits; text that is not a JSON number counts as fractional.
IntegerLiteral integerLiteral(std::string_view text);

}  // namespace parse
