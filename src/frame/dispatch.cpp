// The command table: the command word picks the request record and the command, by exact match.
#include "frame/dispatch.h"

#include "capture/capture.h"
#include "frame/decode.h"
#include "frame/intake.h"
#include "frame/reply.h"
#include "frame/tunables.h"
#include "insert/insert.h"
#include "platform/process.h"
#include "text/utf8.h"

namespace frame {

std::vector<std::string> arguments;

void run(int argc, char** argv) {
    if (argc > 0) {
        arguments.assign(argv + 1, argv + argc);
    }
    // The detail names a file path, which need not be UTF-8.
    platform::onUnusable(
        [](const std::string& detail) { fail("internal", text::toValidUtf8(detail)); });
    if (arguments.empty()) {
        fail("unknownCommand", "no command given");
    }
    const std::string& word = arguments.front();
    if (word == "--version") {
        exitLock.lock();
        emit({{"ok", true}, {"version", protocolVersion}});
    }
    if (word == "capture") {
        capture::capture(decodeRequest(capture::decodeCaptureRequest));
    }
    if (word == "insert") {
        insert::insert(decodeRequest(insert::decodeInsertRequest));
    }
    // The word is echoed, shortened; bytes that are not UTF-8 would make the reply
    // unserialisable.
    fail("unknownCommand", "unknown command: " + excerpt(text::toValidUtf8(word)));
}

}  // namespace frame
