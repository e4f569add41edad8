// The capture command's request path: bytes in, a CaptureRequest or the badRequest reply out.
#include "capture/capture_request.h"
#include "request_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzcheck::checkRequest(data, size, capture::decodeCaptureRequest);
    return 0;
}
