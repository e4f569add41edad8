// The allocator policy where the C library offers no settings: its own.
#include "heap/heap.h"

namespace heap {

void keepFreedMemory() {}

void prepare(std::size_t /*bytes*/) {}

}  // namespace heap
