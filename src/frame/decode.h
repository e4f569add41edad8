// Typed reading of request fields with the key path in every message. The decode error is the
// one exception that crosses modules: the request intake turns it into "badRequest".
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace frame {

class DecodeError : public std::runtime_error {
  public:
    explicit DecodeError(const std::string& detail) : std::runtime_error(detail), text(detail) {}
    // The whole message: what() stops at a NUL, which a request's own text may hold.
    const std::string& detail() const { return text; }

  private:
    std::string text;
};

// Request text quoted in a message: at most 64 bytes, cut only between characters, with an
// ellipsis when shortened, so that a value of megabytes does not make a reply of megabytes.
std::string excerpt(std::string_view text);

// "into" + "mode" gives "into.mode"; the top level has the empty path.
std::string keyPath(const std::string& parent, std::string_view key);
std::string indexPath(const std::string& parent, std::size_t index);

[[noreturn]] void refuse(const std::string& path, const std::string& problem);

// One value decoded as a field type; refuses it with the path otherwise. Integers take a number
// with an integral value that fits the type (so 42.0 is 42, 2.5 and 2^63 are refused).
bool decodeBool(const nlohmann::json& value, const std::string& path);
std::string decodeString(const nlohmann::json& value, const std::string& path);
std::int64_t decodeInt64(const nlohmann::json& value, const std::string& path);
std::int32_t decodeInt32(const nlohmann::json& value, const std::string& path);

// A JSON object under decoding, with its path.
struct Keyed {
    const nlohmann::json& object;
    std::string path;

    // Refuses a value that is not an object.
    static Keyed of(const nlohmann::json& value, std::string path);

    // The member, or null when the key is missing or holds JSON null.
    const nlohmann::json* present(std::string_view key) const;
    // The member; refuses a missing key or JSON null.
    const nlohmann::json& required(std::string_view key) const;
    std::string pathOf(std::string_view key) const { return keyPath(path, key); }

    template <class T, class Decode>
    T required(std::string_view key, Decode decode) const {
        return decode(required(key), pathOf(key));
    }
    template <class T, class Decode>
    std::optional<T> optional(std::string_view key, Decode decode) const {
        const nlohmann::json* value = present(key);
        if (value == nullptr) {
            return std::nullopt;
        }
        return decode(*value, pathOf(key));
    }
};

// Decodes every element of a required array with the given decoder.
template <class T, class Decode>
std::vector<T> decodeArray(const nlohmann::json& value, const std::string& path, Decode decode) {
    if (!value.is_array()) {
        refuse(path, "expected an array");
    }
    std::vector<T> result;
    result.reserve(value.size());
    for (std::size_t index = 0; index < value.size(); ++index) {
        result.push_back(decode(value[index], indexPath(path, index)));
    }
    return result;
}

}  // namespace frame
