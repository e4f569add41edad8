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
            break;
    }
    return "an object";
}

}  // namespace

std::string readStdin() {
    constexpr std::size_t chunk = 65536;
    std::string result;
    std::size_t size = 0;
    for (;;) {
        // Read straight into the result; the chunk left over at the end is the parser's room.
        result.resize(size + chunk);
        const ssize_t count = ::read(STDIN_FILENO, result.data() + size, chunk);
        if (count > 0) {
            size += static_cast<std::size_t>(count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            result.resize(size);
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

Parsed::Parsed(std::string& text) : document(text) {
    const parse::Type type = document.type();
    if (type != parse::Type::object && type != parse::Type::array) {
        throw DecodeError(std::string("request: expected an object, found ") + kindOf(type));
    }
    root = document.root();
}

void invalidJson(const std::string& text, const parse::SyntaxError& error) {
    throw DecodeError("invalid JSON: " + error.problem + " at " +
                      parse::describeOffset(text, error.offset));
}

}  // namespace detail

}  // namespace frame
