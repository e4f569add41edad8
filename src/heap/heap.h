// How the process's allocator treats large blocks: the helper lives for one command and moves
// texts of many megabytes from one buffer to the next.
#pragma once

#include <cstddef>

namespace heap {

// Called once the request is decoded. Where the C library allows it, freed memory stays with
// the process for the next block, so that copying a large text does not pay for fresh pages
// every time.
void keepFreedMemory();

// Where freed memory is kept: faults in the pages for `bytes` of blocks to come, so that the
// copies made then find them ready. Elsewhere nothing.
void prepare(std::size_t bytes);

}  // namespace heap
