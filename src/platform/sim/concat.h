// Joining the pieces of a message in one allocation, without the chains of operator+ that also
// trip a false -Wrestrict in GCC 12 at -O3.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace platform::sim {

inline std::string concat(std::initializer_list<std::string_view> parts) {
    std::size_t size = 0;
    for (const auto part : parts) {
        size += part.size();
    }
    std::string out;
    out.reserve(size);
    for (const auto part : parts) {
        out.append(part);
    }
    return out;
}

}  // namespace platform::sim
