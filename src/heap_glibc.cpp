// The allocator policy for glibc: large blocks from the heap, and the heap never given back.
#include <malloc.h>

#include "heap.h"

namespace heap {

void keepFreedMemory() {
    // Up to the largest threshold glibc takes (32 MB on 64-bit systems), blocks come from the
    // heap instead of a mapping of their own that is returned, and faulted in afresh, each time.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    // The process ends within seconds: shrinking the heap would only hand back pages that the
    // next large copy asks for again.
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
}

}  // namespace heap
