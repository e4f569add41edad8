// The command table: the command word picks the request record and the command, by exact match.
#include "commands.h"

#include "capture/capture.h"
#include "frame/decode.h"
#include "frame/intake.h"
#include "frame/reply.h"
#include "frame/tunables.h"
#include "insert/insert.h"
#include "platform/process.h"
#include "text/utf8.h"

namespace commands {

void run(int argc, char** argv) {
    if (argc > 0) {
        frame::arguments.assign(argv + 1, argv + argc);
    }
    // The detail names a file path, which need not be UTF-8.
    platform::onUnusable(
        [](const std::string& detail) { frame::fail("internal", text::toValidUtf8(detail)); });
    if (frame::arguments.empty()) {
        frame::fail("unknownCommand", "no command given");
    }
    const std::string& word = frame::arguments.front();
    if (word == "--version") {
        frame::exitLock.lock();
        frame::emit({{"ok", true}, {"version", frame::protocolVersion}});
    }
    if (word == "capture") {
        capture::capture(frame::decodeRequest(capture::decodeCaptureRequest));
    }
    if (word == "insert") {
        insert::insert(frame::decodeRequest(insert::decodeInsertRequest));
    }
    // The word is echoed, shortened; bytes that are not UTF-8 would make the reply
    // unserialisable.
    frame::fail("unknownCommand", "unknown command: " + frame::excerpt(text::toValidUtf8(word)));
}

}  // namespace commands
