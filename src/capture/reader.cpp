// Decoding the reader settings: every key required but "me" and "subrole", no defaults, no
// range checks; one bad reader fails the whole request.
#include "capture/reader.h"

#include "frame/decode.h"

namespace capture {

namespace {

using frame::Keyed;

Reader::Role decodeRole(const nlohmann::json& value, const std::string& path) {
    const Keyed fields = Keyed::of(value, path);
    return Reader::Role{
        .role = fields.required<std::string>("role", frame::decodeString),
        .subrole = fields.optional<std::string>("subrole", frame::decodeString),
    };
}

Reader::Me decodeMe(const nlohmann::json& value, const std::string& path) {
    const Keyed fields = Keyed::of(value, path);
    return Reader::Me{
        .role = fields.required<std::string>("role", frame::decodeString),
        .domClass = fields.required<std::string>("domClass", frame::decodeString),
    };
}

Reader decodeReader(const nlohmann::json& value, const std::string& path) {
    const Keyed fields = Keyed::of(value, path);
    Reader reader;
    reader.list = frame::decodeArray<Reader::Role>(fields.required("list"), fields.pathOf("list"),
                                                   decodeRole);
    reader.rows = fields.required<std::int64_t>("rows", frame::decodeInt64);
    reader.depth = fields.required<std::int64_t>("depth", frame::decodeInt64);
    reader.skipClasses = frame::decodeArray<std::string>(
        fields.required("skipClasses"), fields.pathOf("skipClasses"), frame::decodeString);
    reader.me = fields.optional<Reader::Me>("me", decodeMe);
    reader.trustsAxSelection = fields.required<bool>("trustsAxSelection", frame::decodeBool);
    return reader;
}

}  // namespace

ConversationRequest decodeConversationRequest(const nlohmann::json& value,
                                              const std::string& path) {
    const Keyed fields = Keyed::of(value, path);
    ConversationRequest request;
    request.budgetMs = fields.required<std::int64_t>("budgetMs", frame::decodeInt64);
    const Keyed readers = Keyed::of(fields.required("readers"), fields.pathOf("readers"));
    for (const auto& [bundleId, reader] : readers.object.items()) {
        request.readers.emplace(bundleId, decodeReader(reader, readers.pathOf(bundleId)));
    }
    return request;
}

}  // namespace capture
