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

InsertMode decodeMode(const nlohmann::json& value, const std::string& path) {
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

Into decodeInto(const nlohmann::json& value, const std::string& path) {
    const frame::Keyed fields = frame::Keyed::of(value, path);
    const std::string kind = fields.required<std::string>("kind", frame::decodeString);
    if (kind == "focus") {
        Into::Focus focus;
        focus.element = fields.optional<std::string>("element", frame::decodeString);
        focus.mode = fields.required<InsertMode>("mode", decodeMode);
        return Into{focus};
    }
    if (kind == "composer") {
        return Into{Into::Composer{fields.required<std::string>("element", frame::decodeString)}};
    }
    frame::refuse(fields.pathOf("kind"), "unknown kind " + frame::excerpt(kind));
}

InsertRequest decodeInsertRequest(const nlohmann::json& request) {
    const frame::Keyed fields = frame::Keyed::of(request, "");
    InsertRequest result;
    result.pid = fields.required<platform::Pid>("pid", frame::decodeInt32);
    result.text = fields.required<std::string>("text", frame::decodeString);
    result.into = fields.required<Into>("into", decodeInto);
    result.verifyTimeoutMs = fields.optional<std::int64_t>("verifyTimeoutMs", frame::decodeInt64)
                                 .value_or(result.verifyTimeoutMs);
    result.settleMs =
        fields.optional<std::int64_t>("settleMs", frame::decodeInt64).value_or(result.settleMs);
    result.deadlineMs =
        fields.optional<std::int64_t>("deadlineMs", frame::decodeInt64).value_or(result.deadlineMs);
    return result;
}

}  // namespace insert
