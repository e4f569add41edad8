// Parsing and the full check: every value is visited once, with an explicit stack, so that the
// on-demand reads after it can rely on a text that is JSON throughout.
#include "parse/document.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "text/utf8.h"

namespace parse {

namespace {

namespace od = simdjson::ondemand;

constexpr std::size_t unlimited = std::numeric_limits<std::size_t>::max();

// A key without escapes, as it stands in the text; none when it holds a backslash. Keys are
// many and short: taking them from the text spares copying each into the parser's buffer.
std::optional<std::string_view> plainKey(od::field& field) {
    const char* start = field.key().raw();
    // The parser's first pass refused unclosed strings, so a quote comes: the closing one, or
    // one after a backslash.
    const char* end = start;
    while (*end != '"') {
        if (*end == '\\') {
            return std::nullopt;
        }
        ++end;
    }
    return std::string_view(start, static_cast<std::size_t>(end - start));
}

// The value of the four hex digits at `at`, or -1; stops at the first byte that is not one.
int hexUnit(const char* at) {
    int unit = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = at[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) {
            return -1;
        }
        unit = unit * 16 + digit;
    }
    return unit;
}

// The backslash of the first escape of a string that stands for no character: an unknown
// letter, fewer than four hex digits, or a surrogate that is not half of a pair. `inside` is
// just past the opening quote; the parser's first pass found the closing one.
const char* badEscape(const char* inside) {
    for (const char* at = inside; *at != '"'; ++at) {
        if (*at != '\\') {
            continue;
        }
        if (at[1] == 'u') {
            const int unit = hexUnit(at + 2);
            const bool high = unit >= 0xD800 && unit <= 0xDBFF;
            const int low = high && at[6] == '\\' && at[7] == 'u' ? hexUnit(at + 8) : -1;
            if (unit < 0 || (unit >= 0xDC00 && unit <= 0xDFFF) ||
                (high && (low < 0xDC00 || low > 0xDFFF))) {
                return at;
            }
            at += high ? 11 : 5;
        } else if (at[1] != '\0' && std::strchr("\"\\/bfnrt", at[1]) != nullptr) {
            ++at;
        } else {
            return at;
        }
    }
    return nullptr;
}

// One open container of the check, the next member or element to visit in it.
struct Open {
    bool object = false;
    bool started = false;
    od::array_iterator element;
    od::array_iterator elementsEnd;
    od::object_iterator member;
    od::object_iterator membersEnd;
};

// The message for a simdjson error: its own text, shorter where it names an internal state.
std::string problemOf(simdjson::error_code error) {
    switch (error) {
        case simdjson::UTF8_ERROR:
            return "invalid UTF-8";
        case simdjson::UNCLOSED_STRING:
            return "unterminated string";
        case simdjson::UNESCAPED_CHARS:
            return "control character in a string";
        case simdjson::STRING_ERROR:
            return "invalid escape or surrogate in a string";
        case simdjson::NUMBER_ERROR:
            return "invalid number";
        case simdjson::NUMBER_OUT_OF_RANGE:
            return "number out of range";
        case simdjson::T_ATOM_ERROR:
        case simdjson::F_ATOM_ERROR:
        case simdjson::N_ATOM_ERROR:
            return "invalid literal";
        case simdjson::EMPTY:
        case simdjson::INCOMPLETE_ARRAY_OR_OBJECT:
            return "unexpected end of input";
        case simdjson::TRAILING_CONTENT:
            return "unexpected text after the value";
        case simdjson::MEMALLOC:
            return "out of memory";
        case simdjson::DEPTH_ERROR:
            return "nesting deeper than " + std::to_string(simdjson::DEFAULT_MAX_DEPTH) + " levels";
        default:
            return "unexpected character";
    }
}

bool onlySpaceFrom(std::string_view text, std::size_t at) {
    return text.find_first_not_of(" \t\n\r", std::min(at, text.size())) == std::string_view::npos;
}

// Where the brackets go wrong, for the faults the parser reports without a usable place (an
// unbalanced text looks incomplete to it): the first closer that does not match, the first text
// after the outermost value has closed, or else the end, where the text stopped too early.
std::optional<SyntaxError> structureFault(std::string_view text) {
    std::vector<char> open;
    bool inString = false;
    bool started = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (inString) {
            if (c == '\\') {
                ++at;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            continue;
        }
        if (started && open.empty()) {
            return SyntaxError{at, problemOf(simdjson::TRAILING_CONTENT)};
        }
        started = true;
        if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            open.push_back(c == '{' ? '}' : ']');
        } else if (c == '}' || c == ']') {
            if (open.empty() || open.back() != c) {
                return SyntaxError{at, "unexpected character"};
            }
            open.pop_back();
        }
    }
    if (!open.empty() || inString || !started) {
        return SyntaxError{text.size(), problemOf(simdjson::INCOMPLETE_ARRAY_OR_OBJECT)};
    }
    return std::nullopt;  // balanced: the fault is inside, where the parser put it
}

// A fault the parser names at a place: said as "end of input" when nothing but white space is
// left there, and placed by the brackets when the parser took the text for incomplete.
SyntaxError faultAt(std::string_view text, std::size_t at, simdjson::error_code error) {
    if (error == simdjson::INCOMPLETE_ARRAY_OR_OBJECT || error == simdjson::EMPTY ||
        error == simdjson::TAPE_ERROR) {
        if (auto fault = structureFault(text)) {
            return *fault;
        }
    }
    if (error != simdjson::TRAILING_CONTENT && onlySpaceFrom(text, at)) {
        return {text.size(), problemOf(simdjson::INCOMPLETE_ARRAY_OR_OBJECT)};
    }
    return {at, problemOf(error)};
}

class Checker {
  public:
    Checker(std::string_view text, od::document& document, std::size_t maxDepth)
        : text(text), document(document), maxDepth(maxDepth) {}

    void value(od::value& value) {
        visit(value);
        walk();
    }

    void run() {
        od::json_type type;
        fail(document.type().get(type));
        switch (type) {
            case od::json_type::array: {
                od::array array;
                fail(document.get_array().get(array));
                openArray(array);
                break;
            }
            case od::json_type::object: {
                od::object object;
                fail(document.get_object().get(object));
                openObject(object);
                break;
            }
            case od::json_type::string: {
                std::string_view token;
                std::string_view string;
                if (document.raw_json_token().get(token) != simdjson::SUCCESS) {
                    token = "\"\"";
                }
                escapeFault(token.data() + 1, document.get_string().get(string));
                break;
            }
            case od::json_type::number: {
                double number = 0;
                std::string_view token;
                if (document.raw_json_token().get(token) != simdjson::SUCCESS) {
                    token = {};
                }
                numberFault(document.get_double().get(number), token);
                break;
            }
            case od::json_type::boolean: {
                bool boolean = false;
                fail(document.get_bool().get(boolean));
                break;
            }
            case od::json_type::null: {
                bool null = false;
                fail(document.is_null().get(null));
                if (!null) {
                    fail(simdjson::N_ATOM_ERROR);
                }
                break;
            }
            default:
                // simdjson 4 names a value that begins with no JSON character "unknown".
                fail(simdjson::TAPE_ERROR);
        }
        walk();
        // Only past the end of the text has the document no current location.
        const char* after = nullptr;
        if (document.current_location().get(after) == simdjson::SUCCESS) {
            fail(simdjson::TRAILING_CONTENT);
        }
    }

  private:
    void walk() {
        while (!open.empty()) {
            Open& top = open.back();
            if (top.object) {
                if (top.started) {
                    ++top.member;
                }
                top.started = true;
                if (!(top.member != top.membersEnd)) {
                    open.pop_back();
                    continue;
                }
                od::field field;
                fail((*top.member).get(field));
                if (!plainKey(field)) {
                    const char* inside = field.key().raw();
                    std::string_view key;
                    escapeFault(inside, field.unescaped_key().get(key));
                }
                visit(field.value());
            } else {
                if (top.started) {
                    ++top.element;
                }
                top.started = true;
                if (!(top.element != top.elementsEnd)) {
                    open.pop_back();
                    continue;
                }
                od::value value;
                fail((*top.element).get(value));
                visit(value);
            }
        }
    }

    // A scalar is read whole; a container is opened, and visited from the loop.
    void visit(od::value value) {
        od::json_type type;
        fail(value.type().get(type));
        switch (type) {
            case od::json_type::array: {
                od::array array;
                fail(value.get_array().get(array));
                openArray(array);
                return;
            }
            case od::json_type::object: {
                od::object object;
                fail(value.get_object().get(object));
                openObject(object);
                return;
            }
            case od::json_type::string: {
                const std::string_view token = value.raw_json_token();
                // Without an escape there is nothing left to check: the parser's first pass
                // checked the UTF-8 and the control characters of the whole text. Either way the
                // string is taken, so that what follows it is read as what follows a value (a
                // string left untaken would be passed over as a key if a colon followed it).
                if (std::memchr(token.data(), '\\', token.size()) != nullptr) {
                    std::string_view string;
                    escapeFault(token.data() + 1, value.get_string().get(string));
                } else {
                    simdjson::ondemand::raw_json_string raw;
                    fail(value.get_raw_json_string().get(raw));
                }
                return;
            }
            case od::json_type::number: {
                double number = 0;
                numberFault(value.get_double().get(number), value.raw_json_token());
                return;
            }
            case od::json_type::boolean: {
                bool boolean = false;
                fail(value.get_bool().get(boolean));
                return;
            }
            case od::json_type::null: {
                bool null = false;
                fail(value.is_null().get(null));
                if (!null) {
                    fail(simdjson::N_ATOM_ERROR);
                }
                return;
            }
            default:
                fail(simdjson::TAPE_ERROR);
        }
    }

    void openArray(od::array& array) {
        deeper();
        Open entry;
        fail(array.begin().get(entry.element));
        fail(array.end().get(entry.elementsEnd));
        open.push_back(entry);
    }

    void openObject(od::object& object) {
        deeper();
        Open entry;
        entry.object = true;
        fail(object.begin().get(entry.member));
        fail(object.end().get(entry.membersEnd));
        open.push_back(entry);
    }

    void deeper() {
        if (static_cast<std::size_t>(document.current_depth()) > maxDepth) {
            throw SyntaxError{here(),
                              "nesting deeper than " + std::to_string(maxDepth) + " levels"};
        }
    }

    std::size_t here() {
        const char* at = nullptr;
        if (document.current_location().get(at) == simdjson::SUCCESS && at >= text.data() &&
            at <= text.data() + text.size()) {
            return static_cast<std::size_t>(at - text.data());
        }
        return text.size();
    }

    void fail(simdjson::error_code error) {
        if (error != simdjson::SUCCESS) {
            throw faultAt(text, here(), error);
        }
    }

    // A string that does not unescape is refused at the escape, not after the string, where
    // reading stands. `inside`: just past its opening quote.
    void escapeFault(const char* inside, simdjson::error_code error) {
        if (error == simdjson::STRING_ERROR) {
            if (const char* at = badEscape(inside)) {
                throw SyntaxError{static_cast<std::size_t>(at - text.data()), problemOf(error)};
            }
        }
        fail(error);
    }

    void numberFault(simdjson::error_code error, std::string_view token) {
        const std::size_t end = token.find_last_not_of(" \t\n\r");
        const std::string_view number =
            token.substr(0, end == std::string_view::npos ? 0 : end + 1);
        if (error == simdjson::NUMBER_ERROR && isNumberText(number)) {
            const std::size_t at =
                number.data() >= text.data() && number.data() <= text.data() + text.size()
                    ? static_cast<std::size_t>(number.data() - text.data())
                    : here();
            throw SyntaxError{at, problemOf(simdjson::NUMBER_OUT_OF_RANGE)};
        }
        fail(error);
    }

    std::string_view text;
    od::document& document;
    std::size_t maxDepth;
    std::vector<Open> open;
};

// The parser's first pass names no place for the faults it finds in the bytes; they are found
// again here, with the place and the wording the rest of the reader uses.
SyntaxError locate(std::string_view text, simdjson::error_code error) {
    bool inString = false;
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80) {
            const std::size_t length = text::utf8SequenceLength(text, at);
            if (length == 0) {
                return {at, inString ? "invalid UTF-8 in a string" : "unexpected character"};
            }
            at += length;
            continue;
        }
        if (inString && c < 0x20) {
            return {at, "control character in a string"};
        }
        if (c == '"') {
            inString = !inString;
        } else if (inString && c == '\\') {
            ++at;
        }
        ++at;
    }
    if (inString) {
        return {text.size(), "unterminated string"};
    }
    return {error == simdjson::EMPTY ? 0 : text.size(), problemOf(error)};
}

}  // namespace

bool isNumberText(std::string_view t) {
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
            ++i;
        }
        return i > from;
    };
    if (i < t.size() && t[i] == '-') {
        ++i;
    }
    if (i < t.size() && t[i] == '0') {
        ++i;
    } else if (!digits()) {
        return false;
    }
    if (i < t.size() && t[i] == '.') {
        ++i;
        if (!digits()) {
            return false;
        }
    }
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
            ++i;
        }
        if (!digits()) {
            return false;
        }
    }
    return i == t.size();
}

void pad(std::string& text) {
    if (text.capacity() < text.size() + simdjson::SIMDJSON_PADDING) {
        text.reserve(text.size() + simdjson::SIMDJSON_PADDING);
    }
}

Document::Document(std::string_view source, std::size_t capacity, Check check) : text(source) {
    const simdjson::padded_string_view padded(source.data(), source.size(), capacity);
    if (padded.padding() < simdjson::SIMDJSON_PADDING) {
        throw SyntaxError{0, "the text is not padded for parsing"};
    }
    const auto error = parser.iterate(padded).get(document);
    if (error != simdjson::SUCCESS) {
        throw locate(text, error);
    }
    if (check == Check::whole) {
        Checker(text, document, unlimited).run();
        document.rewind();
    }
}

void Document::check(Value& value, std::size_t maxDepth) {
    Checker(text, document, maxDepth).value(value);
}

void Document::finish() {
    const char* after = nullptr;
    if (document.current_location().get(after) == simdjson::SUCCESS) {
        throw SyntaxError{offsetOf(after), problemOf(simdjson::TRAILING_CONTENT)};
    }
}

void Document::fail(simdjson::error_code error) {
    throw faultAt(text, offset(), error);
}

std::size_t Document::depth() const {
    return static_cast<std::size_t>(document.current_depth());
}

Type Document::type() {
    Type type;
    if (const auto error = document.type().get(type); error != simdjson::SUCCESS) {
        fail(error);
    }
    return type;
}

// simdjson 4 checks the brackets of the whole text when the root is asked for; its fault is
// placed as any other.
Value Document::root() {
    Value value;
    if (const auto error = document.get_value().get(value); error != simdjson::SUCCESS) {
        fail(error);
    }
    return value;
}

std::size_t Document::offsetOf(const char* at) const {
    if (at < text.data() || at > text.data() + text.size()) {
        return text.size();
    }
    return static_cast<std::size_t>(at - text.data());
}

std::size_t Document::offset() {
    const char* at = nullptr;
    return document.current_location().get(at) == simdjson::SUCCESS ? offsetOf(at) : text.size();
}

std::string_view stringOf(Value& value) {
    const std::string_view token = value.raw_json_token();
    if (token.size() >= 2) {
        const std::size_t close = token.rfind('"');
        if (close != 0 && close != std::string_view::npos) {
            const std::string_view inside = token.substr(1, close - 1);
            simdjson::ondemand::raw_json_string raw;
            // Taken, not only looked at: see the check's strings.
            if (std::memchr(inside.data(), '\\', inside.size()) == nullptr &&
                value.get_raw_json_string().get(raw) == simdjson::SUCCESS) {
                return inside;
            }
        }
    }
    std::string_view string;
    if (value.get_string().get(string) != simdjson::SUCCESS) {
        throw SyntaxError{0, "invalid escape or surrogate in a string"};
    }
    return string;
}

std::string_view keyOf(simdjson::ondemand::field& field) {
    if (const auto plain = plainKey(field)) {
        return *plain;
    }
    std::string_view key;
    if (field.unescaped_key().get(key) != simdjson::SUCCESS) {
        throw SyntaxError{0, "invalid escape or surrogate in a string"};
    }
    return key;
}

std::string_view numberText(Value& value) {
    const std::string_view token = value.raw_json_token();
    const std::size_t end = token.find_last_not_of(" \t\n\r");
    return token.substr(0, end == std::string_view::npos ? 0 : end + 1);
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

}  // namespace parse
