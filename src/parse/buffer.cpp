// Growing the block in place where the allocator can.
#include "parse/buffer.h"

#include <cstdlib>
#include <new>
#include <simdjson.h>
#include <utility>

namespace parse {

Buffer::~Buffer() {
    std::free(bytes);
}

Buffer::Buffer(Buffer&& other) noexcept
    : bytes(std::exchange(other.bytes, nullptr)),
      length(std::exchange(other.length, 0)),
      allocated(std::exchange(other.allocated, 0)) {}

Buffer& Buffer::operator=(Buffer&& other) noexcept {
    if (this != &other) {
        std::free(bytes);
        bytes = std::exchange(other.bytes, nullptr);
        length = std::exchange(other.length, 0);
        allocated = std::exchange(other.allocated, 0);
    }
    return *this;
}

char* Buffer::room(std::size_t count) {
    const std::size_t needed = length + count + simdjson::SIMDJSON_PADDING;
    if (needed > allocated) {
        std::size_t grown = allocated < 65536 ? 65536 : allocated * 2;
        while (grown < needed) {
            grown *= 2;
        }
        void* moved = std::realloc(bytes, grown);
        if (moved == nullptr) {
            throw std::bad_alloc();
        }
        bytes = static_cast<char*>(moved);
        allocated = grown;
    }
    return bytes + length;
}

}  // namespace parse
