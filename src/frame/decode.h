// Typed reading of request fields with the key path in every message. The decode error is the
// one exception that crosses modules: the request intake turns it into "badRequest".
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "parse/document.h"

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

// Where a value stands in the request. Written out only for a refusal, so that decoding many
// values builds no strings; a path refers to its parent and its key, which must outlive it.
class Path {
  public:
    Path() = default;
    Path(const Path& parent, std::string_view key) : parent(&parent), key(key) {}
    Path(const Path& parent, std::size_t index) : parent(&parent), index(index), isIndex(true) {}

    std::string text() const;

  private:
    const Path* parent = nullptr;
    std::string_view key;
    std::size_t index = 0;
    bool isIndex = false;
};

[[noreturn]] void refuse(const Path& path, const std::string& problem);

// One value decoded as a field type; refuses it with the path otherwise. Integers take a number
// with an integral value that fits the type (so 42.0 is 42, 2.5 and 2^63 are refused).
bool decodeBool(parse::Value& value, const Path& path);
std::string decodeString(parse::Value& value, const Path& path);
std::int64_t decodeInt64(parse::Value& value, const Path& path);
std::int32_t decodeInt32(parse::Value& value, const Path& path);

bool isNull(parse::Value& value);

// Calls body(key, value, path) for every member of an object, in the order written; refuses a
// value that is not an object.
template <class Body>
void eachMember(parse::Value& value, const Path& path, Body body);

// One key of a record. Every occurrence is decoded as it comes and the last one counts, its
// value or its refusal; the record asks for its keys afterwards, in its own order, so that of
// several faults the first in the record's order is the one reported.
template <class T>
class Field {
  public:
    template <class Decode>
    void take(parse::Value& value, const Path& path, Decode decode) {
        decoded.reset();
        refusal.reset();
        if (isNull(value)) {
            state = State::null;
            return;
        }
        try {
            decoded.emplace(decode(value, path));
            state = State::given;
        } catch (const DecodeError& error) {
            refusal = error.detail();
            state = State::refused;
        }
    }

    // The value; absent when the key is missing or JSON null. Throws the kept refusal.
    std::optional<T> optional() {
        if (state == State::refused) {
            throw DecodeError(*refusal);
        }
        return std::move(decoded);
    }

    // The value; refuses a missing key or JSON null at the key's path.
    T required(const Path& path) {
        if (state == State::missing) {
            refuse(path, "required, but missing");
        }
        if (state == State::null) {
            refuse(path, "required, but null");
        }
        return std::move(*optional());
    }

  private:
    enum class State { missing, null, given, refused };
    State state = State::missing;
    std::optional<T> decoded;
    std::optional<std::string> refusal;
};

// Decodes every element of an array with the given decoder; refuses anything else.
template <class T, class Decode>
std::vector<T> decodeArray(parse::Value& value, const Path& path, Decode decode);

namespace detail {
[[noreturn]] void refuseKind(parse::Value& value, const Path& path, const std::string& what);
simdjson::ondemand::object objectOf(parse::Value& value, const Path& path);
simdjson::ondemand::array arrayOf(parse::Value& value, const Path& path);
}  // namespace detail

template <class Body>
void eachMember(parse::Value& value, const Path& path, Body body) {
    simdjson::ondemand::object object = detail::objectOf(value, path);
    for (auto member : object) {
        simdjson::ondemand::field field;
        // The text was checked whole before decoding: reading it again cannot fail.
        if (std::move(member).get(field) != simdjson::SUCCESS) {
            continue;
        }
        const std::string_view key = parse::keyOf(field);
        parse::Value memberValue = field.value();
        const Path memberPath(path, key);
        body(key, memberValue, memberPath);
    }
}

template <class T, class Decode>
std::vector<T> decodeArray(parse::Value& value, const Path& path, Decode decode) {
    simdjson::ondemand::array array = detail::arrayOf(value, path);
    std::vector<T> result;
    std::size_t index = 0;
    for (auto element : array) {
        parse::Value elementValue;
        const Path elementPath(path, index++);
        if (std::move(element).get(elementValue) != simdjson::SUCCESS) {
            continue;  // not after the whole text was checked
        }
        result.push_back(decode(elementValue, elementPath));
    }
    return result;
}

}  // namespace frame
