// Decoding the reader settings: every key required but "me" and "subrole", no defaults, no
// range checks; one bad reader fails the whole request.
#include "capture/reader.h"

namespace capture {

namespace {

using frame::Field;
using frame::Path;

Reader::Role decodeRole(parse::Value& value, const Path& path) {
    Field<std::string> role;
    Field<std::string> subrole;
    frame::eachMember(value, path, [&](std::string_view key, parse::Value& member, const Path& at) {
        if (key == "role") {
            role.take(member, at, frame::decodeString);
        } else if (key == "subrole") {
            subrole.take(member, at, frame::decodeString);
        }
    });
    return Reader::Role{
        .role = role.required(Path(path, "role")),
        .subrole = subrole.optional(),
    };
}

Reader::Me decodeMe(parse::Value& value, const Path& path) {
    Field<std::string> role;
    Field<std::string> domClass;
    frame::eachMember(value, path, [&](std::string_view key, parse::Value& member, const Path& at) {
        if (key == "role") {
            role.take(member, at, frame::decodeString);
        } else if (key == "domClass") {
            domClass.take(member, at, frame::decodeString);
        }
    });
    return Reader::Me{
        .role = role.required(Path(path, "role")),
        .domClass = domClass.required(Path(path, "domClass")),
    };
}

std::vector<Reader::Role> decodeRoles(parse::Value& value, const Path& path) {
    return frame::decodeArray<Reader::Role>(value, path, decodeRole);
}

std::vector<std::string> decodeStrings(parse::Value& value, const Path& path) {
    return frame::decodeArray<std::string>(value, path, frame::decodeString);
}

Reader decodeReader(parse::Value& value, const Path& path) {
    Field<std::vector<Reader::Role>> list;
    Field<std::int64_t> rows;
    Field<std::int64_t> depth;
    Field<std::vector<std::string>> skipClasses;
    Field<Reader::Me> me;
    Field<bool> trustsAxSelection;
    frame::eachMember(value, path, [&](std::string_view key, parse::Value& member, const Path& at) {
        if (key == "list") {
            list.take(member, at, decodeRoles);
        } else if (key == "rows") {
            rows.take(member, at, frame::decodeInt64);
        } else if (key == "depth") {
            depth.take(member, at, frame::decodeInt64);
        } else if (key == "skipClasses") {
            skipClasses.take(member, at, decodeStrings);
        } else if (key == "me") {
            me.take(member, at, decodeMe);
        } else if (key == "trustsAxSelection") {
            trustsAxSelection.take(member, at, frame::decodeBool);
        }
    });
    Reader reader;
    reader.list = list.required(Path(path, "list"));
    reader.rows = rows.required(Path(path, "rows"));
    reader.depth = depth.required(Path(path, "depth"));
    reader.skipClasses = skipClasses.required(Path(path, "skipClasses"));
    reader.me = me.optional();
    reader.trustsAxSelection = trustsAxSelection.required(Path(path, "trustsAxSelection"));
    return reader;
}

// The last reader given for each bundle identifier; of the faulty ones, the refusal of the
// first identifier in the map's order is the one reported.
std::map<std::string, Reader> decodeReaders(parse::Value& value, const Path& path) {
    std::map<std::string, Reader> readers;
    std::map<std::string, std::string> refusals;
    frame::eachMember(value, path, [&](std::string_view key, parse::Value& member, const Path& at) {
        std::string bundleId(key);
        try {
            Reader reader = decodeReader(member, at);
            refusals.erase(bundleId);
            readers.insert_or_assign(std::move(bundleId), std::move(reader));
        } catch (const frame::DecodeError& error) {
            readers.erase(bundleId);
            refusals.insert_or_assign(std::move(bundleId), error.detail());
        }
    });
    if (!refusals.empty()) {
        throw frame::DecodeError(refusals.begin()->second);
    }
    return readers;
}

}  // namespace

ConversationRequest decodeConversationRequest(parse::Value& value, const Path& path) {
    Field<std::int64_t> budgetMs;
    Field<std::map<std::string, Reader>> readers;
    frame::eachMember(value, path, [&](std::string_view key, parse::Value& member, const Path& at) {
        if (key == "budgetMs") {
            budgetMs.take(member, at, frame::decodeInt64);
        } else if (key == "readers") {
            readers.take(member, at, decodeReaders);
        }
    });
    ConversationRequest request;
    request.budgetMs = budgetMs.required(Path(path, "budgetMs"));
    request.readers = readers.required(Path(path, "readers"));
    return request;
}

}  // namespace capture
