// Field decoding: types, integer ranges and the messages that name the key path.
#include "frame/decode.h"

#include <limits>

#include "parse/number.h"

namespace frame {

namespace {

using simdjson::ondemand::json_type;

std::string kindOf(parse::Value& value) {
    json_type type = json_type::null;
    if (value.type().get(type) != simdjson::SUCCESS) {
        type = json_type::null;  // not after the whole text was checked
    }
    switch (type) {
        case json_type::null:
            return "null";
        case json_type::boolean:
            return "a Boolean";
        case json_type::string:
            return "a string";
        case json_type::array:
            return "an array";
        case json_type::object:
            return "an object";
        case json_type::number:
        default:  // simdjson 4's "unknown" never gets past the check of the whole text
            break;
    }
    return "a number";
}

json_type typeOf(parse::Value& value) {
    json_type type = json_type::null;
    if (value.type().get(type) != simdjson::SUCCESS) {
        type = json_type::null;  // not after the whole text was checked
    }
    return type;
}

bool isIdentifier(std::string_view key) {
    if (key.empty()) {
        return false;
    }
    for (const char c : key) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && c != '_') {
            return false;
        }
    }
    return true;
}

// A JSON string literal of the text, for the quoted keys of a path (the text is UTF-8).
std::string quotedKey(std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            switch (c) {
                case '\b':
                    out += "\\b";
                    break;
                case '\f':
                    out += "\\f";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                default:
                    out += "\\u00";
                    out += hex[byte >> 4];
                    out += hex[byte & 0xF];
            }
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

std::string excerpt(std::string_view text) {
    constexpr std::size_t limit = 64;
    if (text.size() <= limit) {
        return std::string(text);
    }
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0U) == 0x80U) {
        --cut;
    }
    return std::string(text.substr(0, cut)) + "\u2026";
}

std::string keyPath(const std::string& parent, std::string_view key) {
    // Map keys such as bundle identifiers hold dots; quote them so the path stays readable.
    if (!isIdentifier(key)) {
        return parent + "[" + quotedKey(excerpt(key)) + "]";
    }
    return parent.empty() ? std::string(key) : parent + "." + std::string(key);
}

std::string indexPath(const std::string& parent, std::size_t index) {
    return parent + "[" + std::to_string(index) + "]";
}

std::string Path::text() const {
    if (parent == nullptr) {
        return {};
    }
    const std::string above = parent->text();
    return isIndex ? indexPath(above, index) : keyPath(above, key);
}

void refuse(const Path& path, const std::string& problem) {
    const std::string where = path.text();
    throw DecodeError((where.empty() ? std::string("request") : where) + ": " + problem);
}

namespace detail {

void refuseKind(parse::Value& value, const Path& path, const std::string& what) {
    refuse(path, "expected " + what + ", found " + kindOf(value));
}

simdjson::ondemand::object objectOf(parse::Value& value, const Path& path) {
    simdjson::ondemand::object object;
    if (typeOf(value) != json_type::object || value.get_object().get(object) != simdjson::SUCCESS) {
        refuseKind(value, path, "an object");
    }
    return object;
}

simdjson::ondemand::array arrayOf(parse::Value& value, const Path& path) {
    simdjson::ondemand::array array;
    if (typeOf(value) != json_type::array || value.get_array().get(array) != simdjson::SUCCESS) {
        refuseKind(value, path, "an array");
    }
    return array;
}

}  // namespace detail

bool isNull(parse::Value& value) {
    return typeOf(value) == json_type::null;
}

bool decodeBool(parse::Value& value, const Path& path) {
    bool result = false;
    if (typeOf(value) != json_type::boolean || value.get_bool().get(result) != simdjson::SUCCESS) {
        detail::refuseKind(value, path, "true or false");
    }
    return result;
}

std::string decodeString(parse::Value& value, const Path& path) {
    if (typeOf(value) != json_type::string) {
        detail::refuseKind(value, path, "a string");
    }
    return std::string(parse::stringOf(value));
}

namespace {

std::int64_t decodeInteger(parse::Value& value, const Path& path, const std::string& what,
                           std::int64_t lowest, std::int64_t highest) {
    if (typeOf(value) != json_type::number) {
        detail::refuseKind(value, path, what);
    }
    // The text decides, not a double: that would round -9223372036854775809 into the range.
    const parse::IntegerLiteral literal = parse::integerLiteral(parse::numberText(value));
    if (literal.kind == parse::IntegerLiteral::Kind::fractional) {
        refuse(path, "expected " + what + ", found a fractional number");
    }
    if (literal.kind == parse::IntegerLiteral::Kind::outOfRange || literal.value < lowest ||
        literal.value > highest) {
        refuse(path, "expected " + what + ", found a number outside its range");
    }
    return literal.value;
}

}  // namespace

std::int64_t decodeInt64(parse::Value& value, const Path& path) {
    return decodeInteger(value, path, "a 64-bit integer", std::numeric_limits<std::int64_t>::min(),
                         std::numeric_limits<std::int64_t>::max());
}

std::int32_t decodeInt32(parse::Value& value, const Path& path) {
    return static_cast<std::int32_t>(decodeInteger(value, path, "a 32-bit integer",
                                                   std::numeric_limits<std::int32_t>::min(),
                                                   std::numeric_limits<std::int32_t>::max()));
}

}  // namespace frame
