// The insert command's request path: bytes in, an InsertRequest or the badRequest reply out.
#include "insert/insert_request.h"
#include "request_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzcheck::checkRequest(data, size, insert::decodeInsertRequest);
    return 0;
}
