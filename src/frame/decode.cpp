// Field decoding: types, integer ranges and the messages that name the key path.
#include "frame/decode.h"

#include <cmath>
#include <limits>

namespace frame {

namespace {

std::string kindOf(const nlohmann::json& value) {
    switch (value.type()) {
        case nlohmann::json::value_t::null:
            return "null";
        case nlohmann::json::value_t::boolean:
            return "a Boolean";
        case nlohmann::json::value_t::string:
            return "a string";
        case nlohmann::json::value_t::array:
            return "an array";
        case nlohmann::json::value_t::object:
            return "an object";
        default:
            return "a number";
    }
}

[[noreturn]] void expected(const std::string& path, const std::string& what,
                           const nlohmann::json& found) {
    refuse(path, "expected " + what + ", found " + kindOf(found));
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
        return parent + "[" + nlohmann::json(excerpt(key)).dump() + "]";
    }
    return parent.empty() ? std::string(key) : parent + "." + std::string(key);
}

std::string indexPath(const std::string& parent, std::size_t index) {
    return parent + "[" + std::to_string(index) + "]";
}

void refuse(const std::string& path, const std::string& problem) {
    throw DecodeError((path.empty() ? std::string("request") : path) + ": " + problem);
}

bool decodeBool(const nlohmann::json& value, const std::string& path) {
    if (!value.is_boolean()) {
        expected(path, "true or false", value);
    }
    return value.get<bool>();
}

std::string decodeString(const nlohmann::json& value, const std::string& path) {
    if (!value.is_string()) {
        expected(path, "a string", value);
    }
    return value.get<std::string>();
}

namespace {

enum class Integral { fits, fractional, outOfRange };

// The value of a JSON number as a 64-bit integer, if it has an integral value in that range.
Integral integralValue(const nlohmann::json& value, std::int64_t& out) {
    if (value.is_number_unsigned()) {
        // nlohmann keeps numbers above 2^63-1 unsigned; reading them signed would wrap.
        const auto unsignedValue = value.get<std::uint64_t>();
        if (unsignedValue > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return Integral::outOfRange;
        }
        out = static_cast<std::int64_t>(unsignedValue);
        return Integral::fits;
    }
    if (value.is_number_integer()) {
        out = value.get<std::int64_t>();
        return Integral::fits;
    }
    const double real = value.get<double>();
    if (!std::isfinite(real) || std::trunc(real) != real) {
        return Integral::fractional;
    }
    // 2^63 itself is a double but no int64; the lower bound -2^63 is both.
    if (real < -9223372036854775808.0 || real >= 9223372036854775808.0) {
        return Integral::outOfRange;
    }
    out = static_cast<std::int64_t>(real);
    return Integral::fits;
}

std::int64_t decodeInteger(const nlohmann::json& value, const std::string& path,
                           const std::string& what, std::int64_t lowest, std::int64_t highest) {
    if (!value.is_number()) {
        expected(path, what, value);
    }
    std::int64_t result = 0;
    const Integral outcome = integralValue(value, result);
    if (outcome == Integral::fractional) {
        refuse(path, "expected " + what + ", found a fractional number");
    }
    if (outcome == Integral::outOfRange || result < lowest || result > highest) {
        refuse(path, "expected " + what + ", found a number outside its range");
    }
    return result;
}

}  // namespace

std::int64_t decodeInt64(const nlohmann::json& value, const std::string& path) {
    return decodeInteger(value, path, "a 64-bit integer", std::numeric_limits<std::int64_t>::min(),
                         std::numeric_limits<std::int64_t>::max());
}

std::int32_t decodeInt32(const nlohmann::json& value, const std::string& path) {
    return static_cast<std::int32_t>(decodeInteger(value, path, "a 32-bit integer",
                                                   std::numeric_limits<std::int32_t>::min(),
                                                   std::numeric_limits<std::int32_t>::max()));
}

Keyed Keyed::of(const nlohmann::json& value, std::string path) {
    if (!value.is_object()) {
        expected(path, "an object", value);
    }
    return Keyed{value, std::move(path)};
}

const nlohmann::json* Keyed::present(std::string_view key) const {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return nullptr;
    }
    return &*found;
}

const nlohmann::json& Keyed::required(std::string_view key) const {
    const auto found = object.find(key);
    if (found == object.end()) {
        refuse(pathOf(key), "required, but missing");
    }
    if (found->is_null()) {
        refuse(pathOf(key), "required, but null");
    }
    return *found;
}

}  // namespace frame
