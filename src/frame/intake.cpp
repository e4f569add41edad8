// Reading standard input and parsing it into a bounded JSON document.
#include "frame/intake.h"

#include <cerrno>
#include <unistd.h>
#include <vector>

#include "frame/number_literal.h"
#include "text/utf8.h"

namespace frame {

namespace {

using nlohmann::json;

// Deeper than the deepest field any request record reads (a reader's list pattern is at 6).
constexpr std::size_t keptDepth = 64;
// Beyond 2^63 either way, so that the integer fields refuse it as out of range.
constexpr double outOfRangeMagnitude = 1e19;

// Builds the document from parser events, keeping containers down to keptDepth and skipping
// everything below; the parser itself keeps one bit per level.
class BoundedDocument : public nlohmann::json_sax<json> {
  public:
    json root;
    std::string error;

    bool null() override { return put(json(nullptr)); }
    bool boolean(bool value) override { return put(json(value)); }
    bool number_integer(number_integer_t value) override { return put(json(value)); }
    bool number_unsigned(number_unsigned_t value) override { return put(json(value)); }
    // A number the parser could not keep as an integer is read again from its text: an integral
    // one in range becomes that integer exactly, one out of range a double that no integer field
    // takes (no request field takes a fractional number).
    bool number_float(number_float_t value, const string_t& text) override {
        const IntegerLiteral literal = integerLiteral(text);
        switch (literal.kind) {
            case IntegerLiteral::Kind::integral:
                return put(json(literal.value));
            case IntegerLiteral::Kind::outOfRange:
                return put(json(literal.negative ? -outOfRangeMagnitude : outOfRangeMagnitude));
            case IntegerLiteral::Kind::fractional:
                break;
        }
        return put(json(value));
    }
    bool string(string_t& value) override { return put(json(std::move(value))); }
    bool binary(binary_t& /*value*/) override { return put(json(nullptr)); }
    bool start_object(std::size_t /*elements*/) override { return open(json::value_t::object); }
    bool key(string_t& value) override {
        if (skipped == 0) {
            pendingKey = std::move(value);
        }
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t /*elements*/) override { return open(json::value_t::array); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                     const nlohmann::detail::exception& failure) override {
        error = failure.what();
        return false;
    }

  private:
    std::vector<json*> openContainers;
    std::size_t skipped = 0;
    std::string pendingKey;

    // Where the next value goes; the pointer stays valid while its container is open, because
    // siblings are only added to a parent after the child before them was closed.
    json* place(json value) {
        if (openContainers.empty()) {
            root = std::move(value);
            return &root;
        }
        json& parent = *openContainers.back();
        if (parent.is_array()) {
            parent.push_back(std::move(value));
            return &parent.back();
        }
        json& slot = parent[pendingKey];
        slot = std::move(value);
        return &slot;
    }

    bool put(json value) {
        if (skipped == 0) {
            place(std::move(value));
        }
        return true;
    }

    bool open(json::value_t type) {
        if (skipped > 0 || openContainers.size() >= keptDepth) {
            ++skipped;
            return true;
        }
        openContainers.push_back(place(json(type)));
        return true;
    }

    bool close() {
        if (skipped > 0) {
            --skipped;
        } else {
            openContainers.pop_back();
        }
        return true;
    }
};

// nlohmann's message without its prefix and without the "last read" token: that token can hold
// megabytes of the input, or bytes that are not UTF-8.
std::string describeParseError(std::string message) {
    const std::string prefix = "] ";
    if (message.rfind("[json.exception.", 0) == 0) {
        const auto end = message.find(prefix);
        if (end != std::string::npos) {
            message.erase(0, end + prefix.size());
        }
    }
    const auto lastRead = message.find("; last read: '");
    if (lastRead != std::string::npos) {
        const auto expectedPart = message.rfind("'; expected ");
        std::string rest = expectedPart != std::string::npos && expectedPart > lastRead
                               ? message.substr(expectedPart + 1)
                               : std::string();
        message.erase(lastRead);
        message += rest;
    }
    return "invalid JSON: " + text::toValidUtf8(message);
}

}  // namespace

std::string readStdin() {
    constexpr std::size_t chunk = 65536;
    std::vector<char> buffer(chunk, 0);
    std::string result;
    for (;;) {
        const ssize_t count = ::read(STDIN_FILENO, buffer.data(), chunk);
        if (count > 0) {
            result.append(buffer.data(), static_cast<std::size_t>(count));
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            return result;
        }
    }
}

bool isBlankInput(std::string_view bytes) {
    for (const char c : bytes) {
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
            return false;
        }
    }
    return true;
}

json parseRequest(std::string_view bytes) {
    BoundedDocument document;
    const bool parsed =
        json::sax_parse(bytes.begin(), bytes.end(), &document, json::input_format_t::json, true);
    if (!parsed) {
        throw DecodeError(describeParseError(document.error));
    }
    return std::move(document.root);
}

}  // namespace frame
