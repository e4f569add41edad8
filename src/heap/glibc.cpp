// The allocator policy for glibc: large blocks from the heap, and the heap never given back.
#include <algorithm>
#include <cstdlib>
#include <malloc.h>
#include <vector>

#include "heap/heap.h"

namespace heap {

void keepFreedMemory() {
    // Up to the largest threshold glibc takes (32 MB on 64-bit systems), blocks come from the
    // heap instead of a mapping of their own that is returned, and faulted in afresh, each time.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    // The process ends within seconds: shrinking the heap would only hand back pages that the
    // next large copy asks for again.
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
    // One arena for the few threads there are: memory one of them frees is there for the others.
    mallopt(M_ARENA_MAX, 1);
}

void prepare(std::size_t bytes) {
    if (bytes < 1024 * 1024) {
        return;
    }
    // Beyond this the copies may fault in their own pages: the helper must not grow by gigabytes
    // on the chance that a huge text is copied.
    bytes = std::min<std::size_t>(bytes, 256 * 1024 * 1024);
    // In blocks below the mapping threshold, one write per page; the blocks go back to the heap,
    // which keeps them.
    constexpr std::size_t most = 16 * 1024 * 1024;
    std::vector<void*> blocks;
    for (std::size_t left = bytes; left > 0;) {
        const std::size_t size = std::min(left, most);
        auto* block = static_cast<volatile char*>(std::malloc(size));
        if (block == nullptr) {
            break;
        }
        for (std::size_t at = 0; at < size; at += 4096) {
            block[at] = 0;
        }
        blocks.push_back(const_cast<char*>(block));
        left -= size;
    }
    for (void* block : blocks) {
        std::free(block);
    }
}

}  // namespace heap
