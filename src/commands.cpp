// The command table: the command word picks the request record and the command, by exact match.
#include "commands.h"

#include "capture/capture.h"
#include "frame/decode.h"
#include "frame/intake.h"
#include "frame/reply.h"
#include "frame/tunables.h"
#include "heap/heap.h"
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
    // A process the backend started for itself answers nobody: it is not a command.
    platform::runBackendProcess(word);
    if (word == "--version") {
        frame::reply({{"ok", true}, {"version", frame::protocolVersion}});
    }
    // The allocator's policy changes once the request is decoded: standard input is read into
    // one block that grows in place, which glibc does best with a mapping of its own.
    if (word == "capture") {
        capture::CaptureRequest request = frame::decodeRequest(capture::decodeCaptureRequest);
        heap::keepFreedMemory();
        capture::capture(request);
    }
    if (word == "insert") {
        insert::InsertRequest request = frame::decodeRequest(insert::decodeInsertRequest);
        heap::keepFreedMemory();
        insert::insert(std::move(request));
    }
    // The word is echoed, shortened; bytes that are not UTF-8 would make the reply
    // unserialisable.
    frame::fail("unknownCommand", "unknown command: " + frame::excerpt(text::toValidUtf8(word)));
}

}  // namespace commands
