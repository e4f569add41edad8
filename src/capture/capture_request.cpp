// Decoding the capture request, keys in the record's order.
#include "capture/capture_request.h"

#include "frame/decode.h"

namespace capture {

CaptureRequest decodeCaptureRequest(const nlohmann::json& request) {
    const frame::Keyed fields = frame::Keyed::of(request, "");
    CaptureRequest result;
    result.probe = fields.optional<bool>("probe", frame::decodeBool).value_or(result.probe);
    result.maxChars =
        fields.optional<std::int64_t>("maxChars", frame::decodeInt64).value_or(result.maxChars);
    result.probeTimeoutMs = fields.optional<std::int64_t>("probeTimeoutMs", frame::decodeInt64)
                                .value_or(result.probeTimeoutMs);
    result.deadlineMs =
        fields.optional<std::int64_t>("deadlineMs", frame::decodeInt64).value_or(result.deadlineMs);
    result.conversation =
        fields.optional<ConversationRequest>("conversation", decodeConversationRequest);
    return result;
}

}  // namespace capture
