// The compact JSON writer: "/" and non-ASCII text are written as they are; non-finite numbers,
// which JSON cannot hold, are written as null.
#include "platform/sim/json_writer.h"

#include <charconv>
#include <cmath>

#include "text/utf8.h"

namespace platform::sim {

void JsonWriter::separate() {
    if (afterKey) {
        afterKey = false;
        return;
    }
    if (!first.empty()) {
        if (first.back()) {
            first.back() = false;
        } else {
            out.push_back(',');
        }
    }
}

void JsonWriter::beginObject() {
    separate();
    out.push_back('{');
    first.push_back(true);
}

void JsonWriter::endObject() {
    out.push_back('}');
    first.pop_back();
}

void JsonWriter::beginArray() {
    separate();
    out.push_back('[');
    first.push_back(true);
}

void JsonWriter::endArray() {
    out.push_back(']');
    first.pop_back();
}

void JsonWriter::key(std::string_view name) {
    separate();
    writeString(name);
    out.push_back(':');
    afterKey = true;
}

void JsonWriter::string(std::string_view text) {
    separate();
    writeString(text);
}

void JsonWriter::writeString(std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    out.push_back('"');
    std::size_t run = 0;
    std::size_t i = 0;
    const auto flush = [&] { out.append(text.substr(run, i - run)); };
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
            ++i;
            continue;
        }
        if (c >= 0x80) {
            const std::size_t length = text::utf8SequenceLength(text, i);
            if (length > 0) {
                i += length;
                continue;
            }
            flush();
            out.append("\xEF\xBF\xBD");
            ++i;
            run = i;
            continue;
        }
        flush();
        switch (c) {
            case '"':
                out.append("\\\"");
                break;
            case '\\':
                out.append("\\\\");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\t':
                out.append("\\t");
                break;
            case '\b':
                out.append("\\b");
                break;
            case '\f':
                out.append("\\f");
                break;
            default:
                out.append("\\u00");
                out.push_back(hex[c >> 4]);
                out.push_back(hex[c & 15]);
        }
        ++i;
        run = i;
    }
    flush();
    out.push_back('"');
}

void JsonWriter::integer(std::int64_t value) {
    separate();
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void JsonWriter::unsignedInteger(std::uint64_t value) {
    separate();
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void JsonWriter::real(double value) {
    if (!std::isfinite(value)) {
        null();
        return;
    }
    separate();
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view written(buffer, static_cast<std::size_t>(result.ptr - buffer));
    out.append(written);
    if (written.find_first_of(".e") == std::string_view::npos) {
        out.append(".0");
    }
}

void JsonWriter::quantity(double value) {
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15) {
        integer(static_cast<std::int64_t>(value));
    } else {
        real(value);
    }
}

void JsonWriter::millis(double value) {
    if (!std::isfinite(value)) {
        null();
        return;
    }
    const auto tenths = static_cast<std::int64_t>(std::llround(value * 10));
    separate();
    const std::int64_t whole = tenths / 10;
    const std::int64_t fraction = tenths % 10;
    if (tenths < 0 && whole == 0) {
        out.push_back('-');
    }
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, whole);
    out.append(buffer, result.ptr);
    out.push_back('.');
    out.push_back(static_cast<char>('0' + (fraction < 0 ? -fraction : fraction)));
}

void JsonWriter::boolean(bool value) {
    separate();
    out.append(value ? "true" : "false");
}

void JsonWriter::null() {
    separate();
    out.append("null");
}

}  // namespace platform::sim
