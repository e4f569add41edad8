// Plain values shared by the platform services: process ids, Core Graphics geometry, text ranges
// and the clock every wait in the program is measured on.
#pragma once

#include <chrono>
#include <cstdint>

namespace platform {

using Pid = std::int32_t;
using Clock = std::chrono::steady_clock;

struct Point {
    double x = 0;
    double y = 0;
};

struct Size {
    double width = 0;
    double height = 0;
};

struct Rect {
    Point origin;
    Size size;
};

// CFRange: location and length in the units the element's text uses (UTF-16 code units).
struct Range {
    std::int64_t location = 0;
    std::int64_t length = 0;
    friend bool operator==(const Range&, const Range&) = default;
};

}  // namespace platform
