// Decoding the capture request, keys in the record's order.
#include "capture/capture_request.h"

#include "frame/decode.h"

namespace capture {

CaptureRequest decodeCaptureRequest(parse::Value& request) {
    frame::Field<bool> probe;
    frame::Field<std::int64_t> maxChars;
    frame::Field<std::int64_t> probeTimeoutMs;
    frame::Field<std::int64_t> deadlineMs;
    frame::Field<ConversationRequest> conversation;
    frame::eachMember(request, frame::Path(),
                      [&](std::string_view key, parse::Value& value, const frame::Path& path) {
                          if (key == "probe") {
                              probe.take(value, path, frame::decodeBool);
                          } else if (key == "maxChars") {
                              maxChars.take(value, path, frame::decodeInt64);
                          } else if (key == "probeTimeoutMs") {
                              probeTimeoutMs.take(value, path, frame::decodeInt64);
                          } else if (key == "deadlineMs") {
                              deadlineMs.take(value, path, frame::decodeInt64);
                          } else if (key == "conversation") {
                              conversation.take(value, path, decodeConversationRequest);
                          }
                      });
    CaptureRequest result;
    result.probe = probe.optional().value_or(result.probe);
    result.maxChars = maxChars.optional().value_or(result.maxChars);
    result.probeTimeoutMs = probeTimeoutMs.optional().value_or(result.probeTimeoutMs);
    result.deadlineMs = deadlineMs.optional().value_or(result.deadlineMs);
    result.conversation = conversation.optional();
    return result;
}

}  // namespace capture
