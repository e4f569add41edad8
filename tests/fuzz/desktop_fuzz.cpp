// The desktop loader: a file that loads saves to a text that loads again and saves the same; a
// file that is refused gives one "desktop: ..." detail that an internal reply can carry.
#include <cstdint>
#include <string>
#include <string_view>

#include "frame/reply.h"
#include "platform/sim/load.h"
#include "platform/sim/save.h"
#include "request_check.h"
#include "text/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using platform::sim::loadDesktop;
    using platform::sim::saveDesktop;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const platform::sim::LoadOutcome first = loadDesktop(input, "<fuzz>");
    if (!first.desktop) {
        if (first.detail.rfind("desktop: <fuzz>: ", 0) != 0) {
            fuzzcheck::finding("a refusal without its desktop: prefix");
        }
        // As the frame sends it: made valid UTF-8 first.
        const frame::Json reply = {
            {"ok", false}, {"error", "internal"}, {"detail", text::toValidUtf8(first.detail)}};
        if (nlohmann::json::parse(frame::replyLine(reply), nullptr, false) != reply) {
            fuzzcheck::finding("a refusal whose reply does not serialise");
        }
        return 0;
    }
    const platform::sim::RunLog log;
    const std::string saved = saveDesktop(*first.desktop, log);
    const platform::sim::LoadOutcome second = loadDesktop(saved, "<saved>");
    if (!second.desktop) {
        fuzzcheck::finding("a saved desktop that does not load again");
    }
    if (saveDesktop(*second.desktop, log) != saved) {
        fuzzcheck::finding("a saved desktop that saves differently once loaded again");
    }
    return 0;
}
