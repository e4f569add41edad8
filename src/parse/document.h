// The one JSON reader: simdjson's on-demand parser over a text held with the padding it reads
// past the end, and a full check of the text before anything is taken from it.
#pragma once

#include <cstddef>
#include <simdjson.h>
#include <string>
#include <string_view>

namespace parse {

using Value = simdjson::ondemand::value;
using Object = simdjson::ondemand::object;
using Array = simdjson::ondemand::array;
using Type = simdjson::ondemand::json_type;

/// Thrown for text that is not JSON; `offset` is the byte where reading stopped.
struct SyntaxError {
    std::size_t offset = 0;
    std::string problem;
};

/// Gives the text the spare capacity the parser reads past its end; copies it only when that
/// room is missing (readers that fill a string themselves leave it there).
void pad(std::string& text);

/// A parsed text: the parser, the document and the text it reads (owned by the caller, who
/// keeps it, padded, while values are read).
class Document {
  public:
    /// `whole`: checks the whole text before anything is read from it (the RFC 8259 grammar,
    /// UTF-8, escapes and surrogate pairs, numbers a double holds, nothing after the value), at
    /// any depth and without recursion. `asRead`: the bytes only (UTF-8, control characters,
    /// closed strings); what the reader takes it checks by taking it, the rest with check().
    /// Throws SyntaxError. `text` must have been padded and must outlive the document.
    enum class Check { whole, asRead };
    explicit Document(const std::string& text, Check check = Check::whole)
        : Document(text, text.capacity(), check) {}
    /// `capacity`: the bytes that may be read from the text's start, padding included.
    Document(std::string_view text, std::size_t capacity, Check check = Check::whole);
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    /// The kind of the top-level value.
    Type type();
    /// The top-level value, for an array or object; read it once, in order.
    Value root();

    /// Checks a value the reader passes over, as `whole` would; containers may open down to
    /// `maxDepth` levels of the document. Throws SyntaxError.
    void check(Value& value, std::size_t maxDepth);
    /// Throws SyntaxError unless only white space follows the value read.
    void finish();

    /// Throws the SyntaxError for a fault the parser reported while reading, where reading stands.
    [[noreturn]] void fail(simdjson::error_code error);

    /// How many containers are open where reading stands.
    std::size_t depth() const;
    /// Where reading stands, as a byte offset of the text.
    std::size_t offset();

  private:
    std::size_t offsetOf(const char* at) const;

    std::string_view text;
    simdjson::ondemand::parser parser;
    simdjson::ondemand::document document;
};

/// A string value's text, taken: straight from the parsed text when it holds no escape, else
/// unescaped into the parser's buffer; both views last as long as the document. Throws
/// SyntaxError for a bad escape. Precondition: the value is a string.
std::string_view stringOf(Value& value);

/// An object member's key, unescaped like a string.
std::string_view keyOf(simdjson::ondemand::field& field);

/// The text of a number value as written.
std::string_view numberText(Value& value);

/// Whether the text is a number by JSON's grammar: one that is, yet fails to read, is out of
/// range rather than invalid.
bool isNumberText(std::string_view text);

/// "line L, column C" for a byte offset of the text, for error details.
std::string describeOffset(std::string_view text, std::size_t offset);

}  // namespace parse
