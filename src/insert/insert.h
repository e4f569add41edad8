// The insert command: paste a text into a target field and verify that it landed.
#pragma once

#include "insert/insert_request.h"

namespace insert {

// Runs on the main thread and ends the process with one reply.
[[noreturn]] void insert(InsertRequest request);

}  // namespace insert
