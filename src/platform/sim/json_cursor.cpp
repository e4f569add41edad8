// The strict JSON reader: RFC 8259 grammar, well-formed UTF-8 only, no lone surrogates, bounded
// nesting. Strings without escapes are handed out as views of the text itself.
#include "platform/sim/json_cursor.h"

#include <charconv>
#include <limits>
#include <system_error>

namespace platform::sim {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Bytes that a string can hold as they are: printable ASCII other than the quote and backslash.
struct PlainBytes {
    bool plain[256] = {};
    constexpr PlainBytes() {
        for (int c = 0x20; c < 0x80; ++c) {
            plain[c] = c != '"' && c != '\\';
        }
    }
};
constexpr PlainBytes plainBytes;

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
    };
    const unsigned lead = byte(at);
    unsigned low = 0x80;
    unsigned high = 0xBF;
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    const unsigned second = byte(at + 1);
    if (second < low || second > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        const unsigned b = byte(at + i);
        if (b < 0x80 || b > 0xBF) {
            return 0;
        }
    }
    return length;
}

std::string describeOffset(std::string_view text, std::size_t offset) {
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

void JsonCursor::fail(std::string problem) const {
    failAt(pos, std::move(problem));
}

void JsonCursor::failAt(std::size_t at, std::string problem) const {
    throw JsonSyntaxError{at, std::move(problem)};
}

void JsonCursor::expect(char c, const char* what) {
    if (next() != c) {
        fail(std::string("expected ") + what);
    }
    ++pos;
}

void JsonCursor::expectWord(std::string_view word) {
    if (text.substr(pos, word.size()) != word) {
        fail("invalid literal");
    }
    pos += word.size();
}

JsonCursor::Kind JsonCursor::numberOrFail() const {
    const char c = text[pos];
    if (c == '-' || isDigit(c)) {
        return Kind::number;
    }
    fail("unexpected character");
}

void JsonCursor::readNull() {
    next();
    expectWord("null");
}

bool JsonCursor::readBool() {
    if (next() == 't') {
        expectWord("true");
        return true;
    }
    expectWord("false");
    return false;
}

JsonCursor::Number JsonCursor::readNumber() {
    next();
    const std::size_t start = pos;
    bool negative = false;
    if (pos < text.size() && text[pos] == '-') {
        negative = true;
        ++pos;
    }
    if (pos >= text.size() || !isDigit(text[pos])) {
        fail("expected a digit");
    }
    std::uint64_t magnitude = 0;
    bool overflow = false;
    if (text[pos] == '0') {
        ++pos;
    } else {
        while (pos < text.size() && isDigit(text[pos])) {
            const auto digit = static_cast<std::uint64_t>(text[pos] - '0');
            if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
                overflow = true;
            } else {
                magnitude = magnitude * 10 + digit;
            }
            ++pos;
        }
    }
    bool integral = true;
    if (pos < text.size() && text[pos] == '.') {
        integral = false;
        ++pos;
        if (pos >= text.size() || !isDigit(text[pos])) {
            fail("expected a digit after the decimal point");
        }
        while (pos < text.size() && isDigit(text[pos])) {
            ++pos;
        }
    }
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        integral = false;
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            ++pos;
        }
        if (pos >= text.size() || !isDigit(text[pos])) {
            fail("expected a digit in the exponent");
        }
        while (pos < text.size() && isDigit(text[pos])) {
            ++pos;
        }
    }
    Number number;
    constexpr auto maxPositive =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (integral && !overflow &&
        (negative ? magnitude <= maxPositive + 1 : magnitude <= maxPositive)) {
        number.integral = true;
        number.integer = negative ? static_cast<std::int64_t>(0 - magnitude)
                                  : static_cast<std::int64_t>(magnitude);
        number.real = static_cast<double>(number.integer);
        return number;
    }
    const auto [end, error] = std::from_chars(text.data() + start, text.data() + pos, number.real);
    if (error != std::errc() || end != text.data() + pos) {
        failAt(start, "number out of range");
    }
    return number;
}

std::string_view JsonCursor::readString() {
    return readStringInto(valueBuffer);
}

std::string_view JsonCursor::readStringInto(std::string& buffer) {
    if (next() != '"') {
        fail("expected a string");
    }
    ++pos;
    const std::size_t start = pos;
    bool escaped = false;
    while (true) {
        const std::size_t run = pos;
        while (pos < text.size() && plainBytes.plain[static_cast<unsigned char>(text[pos])]) {
            ++pos;
        }
        if (escaped && pos > run) {
            buffer.append(text.substr(run, pos - run));
        }
        if (pos >= text.size()) {
            fail("unterminated string");
        }
        const auto c = static_cast<unsigned char>(text[pos]);
        if (c == '"') {
            break;
        }
        if (c < 0x20) {
            fail("control character in a string");
        }
        if (c < 0x80 && c != '\\') {
            if (escaped) {
                buffer.push_back(static_cast<char>(c));
            }
            ++pos;
            continue;
        }
        if (c >= 0x80) {
            const std::size_t length = utf8SequenceLength(text, pos);
            if (length == 0) {
                fail("invalid UTF-8 in a string");
            }
            if (escaped) {
                buffer.append(text.substr(pos, length));
            }
            pos += length;
            continue;
        }
        if (!escaped) {
            escaped = true;
            buffer.assign(text.substr(start, pos - start));
        }
        ++pos;
        if (pos >= text.size()) {
            fail("unterminated string");
        }
        const char e = text[pos++];
        switch (e) {
            case '"':
            case '\\':
            case '/':
                buffer.push_back(e);
                break;
            case 'b':
                buffer.push_back('\b');
                break;
            case 'f':
                buffer.push_back('\f');
                break;
            case 'n':
                buffer.push_back('\n');
                break;
            case 'r':
                buffer.push_back('\r');
                break;
            case 't':
                buffer.push_back('\t');
                break;
            case 'u': {
                const auto readHex = [&]() -> char32_t {
                    if (pos + 4 > text.size()) {
                        fail("incomplete \\u escape");
                    }
                    char32_t value = 0;
                    for (int i = 0; i < 4; ++i) {
                        const int h = hexValue(text[pos + i]);
                        if (h < 0) {
                            fail("invalid \\u escape");
                        }
                        value = value * 16 + static_cast<char32_t>(h);
                    }
                    pos += 4;
                    return value;
                };
                char32_t unit = readHex();
                if (unit >= 0xDC00 && unit <= 0xDFFF) {
                    fail("lone low surrogate in a \\u escape");
                }
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    if (text.substr(pos, 2) != "\\u") {
                        fail("high surrogate not followed by a low surrogate");
                    }
                    pos += 2;
                    const char32_t low = readHex();
                    if (low < 0xDC00 || low > 0xDFFF) {
                        fail("high surrogate not followed by a low surrogate");
                    }
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(buffer, unit);
                break;
            }
            default:
                fail("invalid escape in a string");
        }
    }
    const std::size_t end = pos;
    ++pos;
    if (escaped) {
        return buffer;
    }
    return text.substr(start, end - start);
}

void JsonCursor::beginArray() {
    expect('[', "'['");
    if (++depth > maxDepth) {
        fail("nesting deeper than " + std::to_string(maxDepth) + " levels");
    }
}

void JsonCursor::leave() {
    --depth;
}

bool JsonCursor::firstElement() {
    if (next() == ']') {
        ++pos;
        leave();
        return false;
    }
    return true;
}

bool JsonCursor::nextElement() {
    const char c = next();
    if (c == ',') {
        ++pos;
        return true;
    }
    if (c == ']') {
        ++pos;
        leave();
        return false;
    }
    fail("expected ',' or ']'");
}

void JsonCursor::beginObject() {
    expect('{', "'{'");
    if (++depth > maxDepth) {
        fail("nesting deeper than " + std::to_string(maxDepth) + " levels");
    }
}

bool JsonCursor::firstMember(std::string_view& key) {
    if (next() == '}') {
        ++pos;
        leave();
        return false;
    }
    key = readStringInto(keyBuffer);
    expect(':', "':'");
    return true;
}

bool JsonCursor::nextMember(std::string_view& key) {
    const char c = next();
    if (c == ',') {
        ++pos;
        if (next() != '"') {
            fail("expected a key");
        }
        key = readStringInto(keyBuffer);
        expect(':', "':'");
        return true;
    }
    if (c == '}') {
        ++pos;
        leave();
        return false;
    }
    fail("expected ',' or '}'");
}

void JsonCursor::skipValue() {
    switch (peek()) {
        case Kind::null:
            readNull();
            return;
        case Kind::boolean:
            readBool();
            return;
        case Kind::number:
            readNumber();
            return;
        case Kind::string:
            readString();
            return;
        case Kind::array:
            beginArray();
            for (bool more = firstElement(); more; more = nextElement()) {
                skipValue();
            }
            return;
        case Kind::object: {
            beginObject();
            std::string_view key;
            for (bool more = firstMember(key); more; more = nextMember(key)) {
                skipValue();
            }
            return;
        }
    }
}

void JsonCursor::finish() {
    skipSpace();
    if (pos != text.size()) {
        fail("unexpected text after the value");
    }
}

}  // namespace platform::sim
