// The allocator policy where the C library offers no settings: its own.
#include "heap.h"

namespace heap {

void keepFreedMemory() {}

}  // namespace heap
