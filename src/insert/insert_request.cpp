// Decoding the insert request: the three required keys, then the budgets with their defaults.
#include "insert/insert_request.h"

#include <array>

#include "frame/decode.h"

namespace insert {

namespace {

constexpr std::array<std::pair<InsertMode, std::string_view>, 3> modeNames{{
    {InsertMode::replaceSelection, "replaceSelection"},
    {InsertMode::replaceField, "replaceField"},
    {InsertMode::afterSelection, "afterSelection"},
}};

InsertMode decodeMode(parse::Value& value, const frame::Path& path) {
    const std::string raw = frame::decodeString(value, path);
    const auto mode = insertModeFromRawValue(raw);
    if (!mode) {
        frame::refuse(path, "expected one of replaceSelection, replaceField, afterSelection");
    }
    return *mode;
}

}  // namespace

std::optional<InsertMode> insertModeFromRawValue(std::string_view raw) {
    for (const auto& [mode, name] : modeNames) {
        if (name == raw) {
            return mode;
        }
    }
    return std::nullopt;
}

std::string_view rawValue(InsertMode mode) {
    for (const auto& [candidate, name] : modeNames) {
        if (candidate == mode) {
            return name;
        }
    }
    return {};
}

Into decodeInto(parse::Value& value, const frame::Path& path) {
    frame::Field<std::string> kind;
    frame::Field<std::string> element;
    frame::Field<InsertMode> mode;
    frame::eachMember(value, path,
                      [&](std::string_view key, parse::Value& member, const frame::Path& at) {
                          if (key == "kind") {
                              kind.take(member, at, frame::decodeString);
                          } else if (key == "element") {
                              element.take(member, at, frame::decodeString);
                          } else if (key == "mode") {
                              mode.take(member, at, decodeMode);
                          }
                      });
    const frame::Path kindPath(path, "kind");
    const std::string kindName = kind.required(kindPath);
    if (kindName == "focus") {
        Into::Focus focus;
        focus.element = element.optional();
        focus.mode = mode.required(frame::Path(path, "mode"));
        return Into{focus};
    }
    if (kindName == "composer") {
        return Into{Into::Composer{element.required(frame::Path(path, "element"))}};
    }
    frame::refuse(kindPath, "unknown kind " + frame::excerpt(kindName));
}

InsertRequest decodeInsertRequest(parse::Value& request) {
    frame::Field<platform::Pid> pid;
    frame::Field<std::string> text;
    frame::Field<Into> into;
    frame::Field<std::int64_t> verifyTimeoutMs;
    frame::Field<std::int64_t> settleMs;
    frame::Field<std::int64_t> deadlineMs;
    const frame::Path top;
    frame::eachMember(request, top,
                      [&](std::string_view key, parse::Value& member, const frame::Path& at) {
                          if (key == "pid") {
                              pid.take(member, at, frame::decodeInt32);
                          } else if (key == "text") {
                              text.take(member, at, frame::decodeString);
                          } else if (key == "into") {
                              into.take(member, at, decodeInto);
                          } else if (key == "verifyTimeoutMs") {
                              verifyTimeoutMs.take(member, at, frame::decodeInt64);
                          } else if (key == "settleMs") {
                              settleMs.take(member, at, frame::decodeInt64);
                          } else if (key == "deadlineMs") {
                              deadlineMs.take(member, at, frame::decodeInt64);
                          }
                      });
    InsertRequest result;
    result.pid = pid.required(frame::Path(top, "pid"));
    result.text = text.required(frame::Path(top, "text"));
    result.into = into.required(frame::Path(top, "into"));
    result.verifyTimeoutMs = verifyTimeoutMs.optional().value_or(result.verifyTimeoutMs);
    result.settleMs = settleMs.optional().value_or(result.settleMs);
    result.deadlineMs = deadlineMs.optional().value_or(result.deadlineMs);
    return result;
}

}  // namespace insert
