// Request intake: standard input to its end, the blank rule, JSON parsing and record decoding.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "frame/decode.h"
#include "frame/reply.h"
#include "parse/buffer.h"
#include "parse/document.h"

namespace frame {

// Everything on file descriptor 0 up to end of input, with the room the parser reads past its
// end; a read error ends the input there.
parse::Buffer readStdin();

// Empty input, or input of spaces, tabs, line feeds and carriage returns only.
bool isBlankInput(std::string_view bytes);

// The request text parsed and checked whole, then decoded by `decode` from its top-level value;
// blank input counts as "{}". Throws DecodeError, for text that is not JSON too. The record
// takes its strings from the text, so the text is let go of only once the record is made.
template <class Decode>
auto decodeText(std::string text, Decode decode) -> decltype(decode(std::declval<parse::Value&>()));

// The same over the text as standard input gave it.
template <class Decode>
auto decodeInput(parse::Buffer input, Decode decode)
    -> decltype(decode(std::declval<parse::Value&>()));

// The request's record, or the description the "badRequest" reply carries.
template <class Record>
std::variant<Record, std::string> decodeBytes(parse::Buffer input,
                                              Record (*decode)(parse::Value&)) {
    try {
        return decodeInput(std::move(input), decode);
    } catch (const DecodeError& error) {
        return error.detail();
    }
}

// Reads and decodes the request for a command; a request that does not decode ends the process
// with "badRequest" and the decoder's description.
template <class Record>
Record decodeRequest(Record (*decode)(parse::Value&)) {
    std::variant<Record, std::string> decoded = decodeBytes(readStdin(), decode);
    if (const auto* detail = std::get_if<std::string>(&decoded)) {
        fail("badRequest", *detail);
    }
    return std::get<Record>(std::move(decoded));
}

namespace detail {
// The parsed request, and its top-level value; a scalar at the top is refused as not an object.
struct Parsed {
    Parsed(std::string_view text, std::size_t capacity);
    parse::Document document;
    parse::Value root;
};
[[noreturn]] void invalidJson(std::string_view text, const parse::SyntaxError& error);

template <class Decode>
auto decodeParsed(std::string_view text, std::size_t capacity, Decode& decode)
    -> decltype(decode(std::declval<parse::Value&>())) {
    try {
        Parsed parsed(text, capacity);
        return decode(parsed.root);
    } catch (const parse::SyntaxError& error) {
        invalidJson(text, error);
    }
}
}  // namespace detail

template <class Decode>
auto decodeText(std::string text, Decode decode)
    -> decltype(decode(std::declval<parse::Value&>())) {
    if (isBlankInput(text)) {
        text = "{}";
    }
    parse::pad(text);
    return detail::decodeParsed(text, text.capacity(), decode);
}

template <class Decode>
auto decodeInput(parse::Buffer input, Decode decode)
    -> decltype(decode(std::declval<parse::Value&>())) {
    if (isBlankInput(input.text())) {
        return decodeText(std::string(), decode);
    }
    return detail::decodeParsed(input.text(), input.capacity(), decode);
}

}  // namespace frame
