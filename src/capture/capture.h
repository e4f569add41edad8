// The capture command: what the user is doing in the frontmost application.
#pragma once

#include "capture/capture_request.h"

namespace capture {

// Runs on the main thread and ends the process with one reply.
[[noreturn]] void capture(const CaptureRequest& request);

}  // namespace capture
