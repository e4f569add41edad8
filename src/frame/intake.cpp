// Reading standard input into a buffer the parser can read as it is, and parse errors as
// "badRequest" details.
#include "frame/intake.h"

#include <cerrno>
#include <unistd.h>

#include "text/utf8.h"

namespace frame {

namespace {

const char* kindOf(parse::Type type) {
    switch (type) {
        case parse::Type::array:
            return "an array";
        case parse::Type::string:
            return "a string";
        case parse::Type::number:
            return "a number";
        case parse::Type::boolean:
            return "a Boolean";
        case parse::Type::null:
            return "null";
        case parse::Type::object:
        default:  // simdjson 4's "unknown" never gets past the check of the whole text
            break;
    }
    return "an object";
}

}  // namespace

parse::Buffer readStdin() {
    constexpr std::size_t chunk = 65536;
    parse::Buffer result;
    for (;;) {
        const ssize_t count = ::read(STDIN_FILENO, result.room(chunk), chunk);
        if (count > 0) {
            result.added(static_cast<std::size_t>(count));
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

namespace detail {

Parsed::Parsed(std::string_view text, std::size_t capacity) : document(text, capacity) {
    const parse::Type type = document.type();
    if (type != parse::Type::object && type != parse::Type::array) {
        throw DecodeError(std::string("request: expected an object, found ") + kindOf(type));
    }
    root = document.root();
}

void invalidJson(std::string_view text, const parse::SyntaxError& error) {
    throw DecodeError("invalid JSON: " + error.problem + " at " +
                      parse::describeOffset(text, error.offset));
}

}  // namespace detail

}  // namespace frame
