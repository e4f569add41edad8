// Request intake: standard input to its end, the blank rule, JSON parsing and record decoding.
#pragma once

#include <string>
#include <string_view>

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

// Reads and decodes the request for a command; a request that does not decode ends the process
// with "badRequest" and the decoder's description.
template <class Record>
Record decodeRequest(Record (*decode)(const nlohmann::json&)) {
    std::string input = readStdin();
    if (isBlankInput(input)) {
        input = "{}";
    }
    try {
        return decode(parseRequest(input));
    } catch (const DecodeError& error) {
        fail("badRequest", error.what());
    }
}

}  // namespace frame
