// The validator: each keyword in turn, references resolved within the document.
#include "process/schema.h"

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace schema {

namespace {

using nlohmann::json;

bool isInteger(const json& value) {
    if (value.is_number_integer()) {
        return true;
    }
    return value.is_number_float() && std::trunc(value.get<double>()) == value.get<double>();
}

bool hasType(const json& value, const std::string& type) {
    if (type == "null") {
        return value.is_null();
    }
    if (type == "boolean") {
        return value.is_boolean();
    }
    if (type == "integer") {
        return isInteger(value);
    }
    if (type == "number") {
        return value.is_number();
    }
    if (type == "string") {
        return value.is_string();
    }
    if (type == "array") {
        return value.is_array();
    }
    if (type == "object") {
        return value.is_object();
    }
    throw std::invalid_argument("schema: unknown type " + type);
}

// a < b for two JSON numbers, exactly where both are integers (signed or not).
bool less(const json& a, const json& b) {
    if (!a.is_number_integer() || !b.is_number_integer()) {
        return a.get<double>() < b.get<double>();
    }
    const bool aNegative = !a.is_number_unsigned() && a.get<std::int64_t>() < 0;
    const bool bNegative = !b.is_number_unsigned() && b.get<std::int64_t>() < 0;
    if (aNegative != bNegative) {
        return aNegative;
    }
    if (aNegative) {
        return a.get<std::int64_t>() < b.get<std::int64_t>();
    }
    return a.get<std::uint64_t>() < b.get<std::uint64_t>();
}

const std::set<std::string> annotations = {"$schema", "$id", "$defs", "title", "description"};
const std::set<std::string> keywords = {
    "$ref",    "type",   "const", "enum", "properties", "required", "additionalProperties",
    "items",   "oneOf",  "anyOf", "not",  "if",         "then",     "else",
    "minimum", "maximum"};

}  // namespace

Validator::Validator(json schemaDocument) : document(std::move(schemaDocument)) {}

std::optional<std::string> Validator::check(const json& value) const {
    return check(value, document, "reply");
}

const json& Validator::resolve(const std::string& reference) const {
    const std::string prefix = "#/$defs/";
    if (reference.rfind(prefix, 0) != 0) {
        throw std::invalid_argument("schema: only #/$defs/ references are supported: " + reference);
    }
    return document.at("$defs").at(reference.substr(prefix.size()));
}

std::optional<std::string> Validator::check(const json& value, const json& schema,
                                            const std::string& path) const {
    for (const auto& [keyword, argument] : schema.items()) {
        if (annotations.count(keyword) == 0 && keywords.count(keyword) == 0) {
            throw std::invalid_argument("schema: unsupported keyword " + keyword);
        }
    }
    const auto fail = [&](const std::string& what) -> std::optional<std::string> {
        return path + ": " + what;
    };
    if (schema.contains("$ref")) {
        if (auto violation = check(value, resolve(schema["$ref"]), path)) {
            return violation;
        }
    }
    if (schema.contains("type")) {
        const json& type = schema["type"];
        bool matched = false;
        for (const json& name : type.is_array() ? type : json::array({type})) {
            matched = matched || hasType(value, name.get<std::string>());
        }
        if (!matched) {
            return fail("expected type " + type.dump() + ", found " + value.dump());
        }
    }
    if (schema.contains("const") && value != schema["const"]) {
        return fail("expected " + schema["const"].dump() + ", found " + value.dump());
    }
    if (schema.contains("enum")) {
        const json& choices = schema["enum"];
        if (std::find(choices.begin(), choices.end(), value) == choices.end()) {
            return fail("expected one of " + choices.dump() + ", found " + value.dump());
        }
    }
    if (value.is_number()) {
        if (schema.contains("minimum") && less(value, schema["minimum"])) {
            return fail("below the minimum " + schema["minimum"].dump());
        }
        if (schema.contains("maximum") && less(schema["maximum"], value)) {
            return fail("above the maximum " + schema["maximum"].dump());
        }
    }
    if (value.is_object()) {
        for (const json& key : schema.value("required", json::array())) {
            if (!value.contains(key.get<std::string>())) {
                return fail("missing " + key.dump());
            }
        }
        const json properties = schema.value("properties", json::object());
        for (const auto& [key, member] : value.items()) {
            const std::string memberPath = path + "." + key;
            if (properties.contains(key)) {
                if (auto violation = check(member, properties[key], memberPath)) {
                    return violation;
                }
            } else if (schema.contains("additionalProperties")) {
                const json& extra = schema["additionalProperties"];
                if (extra.is_boolean()) {
                    if (!extra.get<bool>()) {
                        return fail("unexpected key " + json(key).dump());
                    }
                } else if (auto violation = check(member, extra, memberPath)) {
                    return violation;
                }
            }
        }
    }
    if (value.is_array() && schema.contains("items")) {
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (auto violation =
                    check(value[i], schema["items"], path + "[" + std::to_string(i) + "]")) {
                return violation;
            }
        }
    }
    if (schema.contains("oneOf")) {
        int fitting = 0;
        std::string reasons;
        for (const json& option : schema["oneOf"]) {
            if (auto violation = check(value, option, path)) {
                reasons += (reasons.empty() ? "" : "; ") + *violation;
            } else {
                ++fitting;
            }
        }
        if (fitting != 1) {
            return fail(fitting == 0 ? "fits none of oneOf (" + reasons + ")"
                                     : "fits more than one of oneOf");
        }
    }
    if (schema.contains("anyOf")) {
        bool fits = false;
        for (const json& option : schema["anyOf"]) {
            fits = fits || !check(value, option, path);
        }
        if (!fits) {
            return fail("fits none of anyOf");
        }
    }
    if (schema.contains("not") && !check(value, schema["not"], path)) {
        return fail("fits what it must not: " + schema["not"].dump());
    }
    if (schema.contains("if")) {
        const bool condition = !check(value, schema["if"], path);
        const char* branch = condition ? "then" : "else";
        if (schema.contains(branch)) {
            if (auto violation = check(value, schema[branch], path)) {
                return violation;
            }
        }
    }
    return std::nullopt;
}

const Validator& replies() {
    static const Validator validator = [] {
        std::ifstream file(std::string(LARKSPIN_DOCS_DIR) + "/reply.schema.json");
        std::stringstream text;
        text << file.rdbuf();
        json document = json::parse(text.str(), nullptr, false);
        if (document.is_discarded()) {
            throw std::runtime_error("cannot read docs/reply.schema.json");
        }
        return Validator(std::move(document));
    }();
    return validator;
}

}  // namespace schema
