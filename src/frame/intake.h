// Request intake: standard input to its end, the blank rule, JSON parsing and record decoding.
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include <nlohmann/json.hpp>

#include "frame/decode.h"
#include "frame/reply.h"

namespace frame {

// Everything on file descriptor 0 up to end of input; a read error ends the input there.
std::string readStdin();

// Empty input, or input of spaces, tabs, line feeds and carriage returns only.
bool isBlankInput(std::string_view bytes);

// Parses the request text. Values nested deeper than any field the program reads are dropped
// while parsing, so absurd nesting costs neither recursion nor memory. Throws DecodeError.
nlohmann::json parseRequest(std::string_view bytes);

// The request's record, or the description the "badRequest" reply carries; blank input counts
// as "{}". The input is let go of once parsed, before the record copies what it needs.
template <class Record>
std::variant<Record, std::string> decodeBytes(std::string input,
                                              Record (*decode)(const nlohmann::json&)) {
    try {
        const nlohmann::json document =
            parseRequest(isBlankInput(input) ? std::string_view("{}") : std::string_view(input));
        std::string().swap(input);
        return decode(document);
    } catch (const DecodeError& error) {
        return error.detail();
    }
}

// Reads and decodes the request for a command; a request that does not decode ends the process
// with "badRequest" and the decoder's description.
template <class Record>
Record decodeRequest(Record (*decode)(const nlohmann::json&)) {
    std::variant<Record, std::string> decoded = decodeBytes(readStdin(), decode);
    if (const auto* detail = std::get_if<std::string>(&decoded)) {
        fail("badRequest", *detail);
    }
    return std::get<Record>(std::move(decoded));
}

}  // namespace frame
