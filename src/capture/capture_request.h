// The capture request: every key optional, missing and null both take the default.
#pragma once

#include <cstdint>
#include <optional>

#include "capture/reader.h"
#include "frame/decode.h"

namespace capture {

struct CaptureRequest {
    bool probe = true;              // the copy probe may run when accessibility shows no selection
    std::int64_t maxChars = 20000;  // limit of each reply text, in UTF-16 code units
    std::int64_t probeTimeoutMs = 250;
    std::int64_t deadlineMs = 3000;
    std::optional<ConversationRequest> conversation;
};

// Throws frame::DecodeError naming the first faulty key.
CaptureRequest decodeCaptureRequest(parse::Value& request);

}  // namespace capture
