// A strict JSON reader that the desktop loader pulls values from one at a time, so that a large
// desktop file is checked and turned into the model in one pass, without a document tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform::sim {

/// Thrown by JsonCursor for text that is not JSON; `offset` is the byte where reading stopped.
struct JsonSyntaxError {
    std::size_t offset = 0;
    std::string problem;
};

class JsonCursor {
  public:
    enum class Kind { null, boolean, number, string, array, object };

    struct Number {
        bool integral = false;     // written without fraction or exponent, and fits 64 bits
        std::int64_t integer = 0;  // the value when integral
        double real = 0;           // the value, always
    };

    /// Containers may nest this deep; deeper text is refused rather than risk the stack.
    static constexpr int maxDepth = 512;

    explicit JsonCursor(std::string_view text) : text(text) {}

    /// The kind of the next value; throws at the end of the text or on a character that starts
    /// no value.
    Kind peek() {
        switch (next()) {
            case 'n':
                return Kind::null;
            case 't':
            case 'f':
                return Kind::boolean;
            case '"':
                return Kind::string;
            case '[':
                return Kind::array;
            case '{':
                return Kind::object;
            default:
                return numberOrFail();
        }
    }

    void readNull();
    bool readBool();
    Number readNumber();

    /// The next string, unescaped; the view stays valid until the next string is read.
    std::string_view readString();

    /// Arrays: beginArray, then firstElement, then nextElement after each value.
    void beginArray();
    bool firstElement();
    bool nextElement();

    /// Objects: beginObject, then firstMember, then nextMember after each value; both read the
    /// key and the colon. The key view stays valid until the next key is read.
    void beginObject();
    bool firstMember(std::string_view& key);
    bool nextMember(std::string_view& key);

    void skipValue();

    /// Throws unless only white space is left.
    void finish();

    std::size_t offset() const { return pos; }
    std::string_view source() const { return text; }

    /// Whether a view lies inside the text (rather than in an unescaping buffer).
    bool inSource(std::string_view view) const {
        return view.data() >= text.data() && view.data() + view.size() <= text.data() + text.size();
    }

  private:
    [[noreturn]] void fail(std::string problem) const;
    [[noreturn]] void failAt(std::size_t at, std::string problem) const;
    Kind numberOrFail() const;

    void skipSpace() {
        // Every JSON white-space byte is at most ' ', so most calls stop at the first test.
        while (pos < text.size() && static_cast<unsigned char>(text[pos]) <= ' ') {
            const char c = text[pos];
            if (c != ' ' && c != '\n' && c != '\r' && c != '\t') {
                return;
            }
            ++pos;
        }
    }

    char next() {
        skipSpace();
        if (pos >= text.size()) {
            fail("unexpected end of input");
        }
        return text[pos];
    }
    void expect(char c, const char* what);
    void expectWord(std::string_view word);
    std::string_view readStringInto(std::string& buffer);
    void leave();

    std::string_view text;
    std::size_t pos = 0;
    int depth = 0;
    std::string keyBuffer;
    std::string valueBuffer;
};

/// Length of the well-formed multi-byte UTF-8 sequence that starts at `at`, or 0 when the bytes
/// there are not one (ASCII bytes give 0 too).
std::size_t utf8SequenceLength(std::string_view text, std::size_t at);

/// "line L, column C" for a byte offset of the text, for error details.
std::string describeOffset(std::string_view text, std::size_t offset);

}  // namespace platform::sim
