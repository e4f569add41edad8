// Extended grapheme clusters: what a user sees as one character, and what clipping and the
// white-space rules treat as one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace text {

/// One cluster: its bytes [begin, end), its first scalar (U+FFFD for ill-formed bytes) and its
/// length in UTF-16 units.
struct Cluster {
    std::size_t begin = 0;
    std::size_t end = 0;
    char32_t first = 0;
    std::int64_t units = 0;
};

/// Walks the clusters of a string front to back without allocating; the string must outlive it.
class ClusterCursor {
  public:
    explicit ClusterCursor(std::string_view utf8) : text(utf8) {}

    /// The next cluster, or absent at the end.
    std::optional<Cluster> next();

  private:
    bool breaksBetween(char32_t before, char32_t after);

    std::string_view text;
    std::size_t pos = 0;
    std::int32_t breakState = 0;
};

/// Byte offsets of every cluster boundary, 0 and size included; {0} for "".
std::vector<std::size_t> graphemeBoundaries(std::string_view utf8);

}  // namespace text
