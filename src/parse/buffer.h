// Bytes read in pieces into one block, with the room the parser reads past their end.
#pragma once

#include <cstddef>
#include <string_view>

namespace parse {

/// The block grows with realloc, which moves a large block by remapping its pages where the
/// system can, rather than copying them: a text of megabytes is then written once and touched
/// once.
class Buffer {
  public:
    Buffer() = default;
    ~Buffer();
    Buffer(Buffer&& other) noexcept;
    Buffer& operator=(Buffer&& other) noexcept;
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    /// Where the next `count` bytes go; the parser's room stays beyond them. Throws bad_alloc.
    char* room(std::size_t count);
    /// Counts `count` bytes written at room() as part of the text.
    void added(std::size_t count) { length += count; }

    std::string_view text() const { return {bytes, length}; }
    std::size_t capacity() const { return allocated; }

  private:
    char* bytes = nullptr;
    std::size_t length = 0;
    std::size_t allocated = 0;
};

}  // namespace parse
