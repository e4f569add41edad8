// Clipping by UTF-16 units at cluster boundaries, in one pass that stops at the cut.
#include "text/clip.h"

#include "text/graphemes.h"

namespace text {

Clipped clip(std::string_view utf8, std::int64_t to) {
    // No byte takes less than one unit, so a limit at or past the byte size cannot be exceeded;
    // this spares huge texts under a generous limit the cluster walk.
    if (to >= 0 && static_cast<std::uint64_t>(to) >= utf8.size()) {
        return {std::string(utf8), false};
    }
    if (to < 1) {
        return {std::string(), true};
    }
    std::int64_t units = 0;
    ClusterCursor cursor(utf8);
    while (const auto cluster = cursor.next()) {
        if (units + cluster->units > to) {
            return {std::string(utf8.substr(0, cluster->begin)), true};
        }
        units += cluster->units;
    }
    return {std::string(utf8), false};
}

}  // namespace text
