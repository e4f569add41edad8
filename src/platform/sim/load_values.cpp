// Reading the loader's scalars and attribute values, and the failure details that name where in
// the file a value was wrong.
#include <cmath>
#include <limits>

#include "platform/sim/loader.h"

namespace platform::sim::loading {

std::string Loader::where() const {
    std::string text;
    for (const auto& segment : path) {
        if (segment.index >= 0) {
            text += "[" + std::to_string(segment.index) + "]";
        } else {
            if (!text.empty()) {
                text += ".";
            }
            text += segment.key;
        }
    }
    return text;
}

void Loader::fail(const std::string& problem) const {
    failAt(where(), problem);
}

void Loader::failAt(const std::string& where, const std::string& problem) {
    throw LoadError{where.empty() ? problem : where + ": " + problem};
}

bool Loader::isNull() {
    if (cursor.peek() == JsonCursor::Kind::null) {
        cursor.readNull();
        return true;
    }
    return false;
}

bool Loader::readBool() {
    if (cursor.peek() != JsonCursor::Kind::boolean) {
        fail("expected true or false");
    }
    return cursor.readBool();
}

std::string Loader::readString() {
    if (cursor.peek() != JsonCursor::Kind::string) {
        fail("expected a string");
    }
    return std::string(cursor.readString());
}

std::optional<std::string> Loader::readStringOrNull() {
    if (isNull()) {
        return std::nullopt;
    }
    if (cursor.peek() != JsonCursor::Kind::string) {
        fail("expected a string or null");
    }
    return std::string(cursor.readString());
}

std::int64_t Loader::readInteger() {
    if (cursor.peek() != JsonCursor::Kind::number) {
        fail("expected an integer");
    }
    const auto number = cursor.readNumber();
    if (number.integral) {
        return number.integer;
    }
    // 42.0 is 42; 2.5 and anything past 64 bits are not integers.
    if (std::floor(number.real) == number.real && number.real >= -9.2233720368547758e18 &&
        number.real < 9.2233720368547758e18) {
        return static_cast<std::int64_t>(number.real);
    }
    fail("expected an integer");
}

Pid Loader::readPid() {
    if (cursor.peek() != JsonCursor::Kind::number) {
        fail("expected a process id");
    }
    const std::int64_t value = readInteger();
    if (value < std::numeric_limits<Pid>::min() || value > std::numeric_limits<Pid>::max()) {
        fail("a process id must fit 32 bits");
    }
    return static_cast<Pid>(value);
}

double Loader::readMs() {
    if (cursor.peek() != JsonCursor::Kind::number) {
        fail("expected milliseconds (a number, 0 or more)");
    }
    const double value = cursor.readNumber().real;
    if (!(value >= 0) || !std::isfinite(value)) {
        fail("expected milliseconds (a number, 0 or more)");
    }
    return value;
}

std::array<double, 4> Loader::readNumbers(std::size_t count, const char* form) {
    std::array<double, 4> numbers{};
    std::size_t n = 0;
    if (cursor.peek() == JsonCursor::Kind::array) {
        cursor.beginArray();
        for (bool more = cursor.firstElement(); more; more = cursor.nextElement()) {
            if (n >= count || cursor.peek() != JsonCursor::Kind::number) {
                fail(std::string("expected ") + form);
            }
            numbers[n++] = cursor.readNumber().real;
        }
    }
    if (n != count) {
        fail(std::string("expected ") + form);
    }
    return numbers;
}

Range Loader::readRange() {
    Range range;
    std::size_t n = 0;
    eachElement("[location, length]", [&](std::size_t) {
        if (n >= 2) {
            fail("expected [location, length]");
        }
        (n++ == 0 ? range.location : range.length) = readInteger();
    });
    if (n != 2) {
        fail("expected [location, length]");
    }
    return range;
}

SimValue Loader::readValue(bool whole, std::vector<PendingRef>& refs) {
    switch (cursor.peek()) {
        case JsonCursor::Kind::null:
            if (!whole) {
                fail("null cannot stand inside a list");
            }
            cursor.readNull();
            return {NoValue{}};
        case JsonCursor::Kind::boolean:
            return {cursor.readBool()};
        case JsonCursor::Kind::number: {
            const auto number = cursor.readNumber();
            if (number.integral) {
                return {number.integer};
            }
            return {number.real};
        }
        case JsonCursor::Kind::string:
            return {std::string(cursor.readString())};
        case JsonCursor::Kind::array: {
            SimList list;
            eachElement("a list", [&](std::size_t) { list.push_back(readValue(false, refs)); });
            return {std::move(list)};
        }
        case JsonCursor::Kind::object:
            break;
    }
    enum class Form { point, size, rect, range, element, attributed, error, other };
    static constexpr Names<8> forms = {"point",   "size",       "rect",  "range",
                                       "element", "attributed", "error", "other"};
    cursor.beginObject();
    std::string_view key;
    if (!cursor.firstMember(key)) {
        fail("an empty object is not a value");
    }
    const int found = nameIndex(key, forms);
    if (found < 0) {
        fail("unknown value form " + quoted(key) + " " + listed(forms));
    }
    SimValue value;
    {
        Step step(*this, forms[static_cast<std::size_t>(found)], true);
        switch (static_cast<Form>(found)) {
            case Form::point: {
                const auto n = readNumbers(2, "[x, y]");
                value.data = Point{n[0], n[1]};
                break;
            }
            case Form::size: {
                const auto n = readNumbers(2, "[width, height]");
                value.data = Size{n[0], n[1]};
                break;
            }
            case Form::rect: {
                const auto n = readNumbers(4, "[x, y, width, height]");
                value.data = Rect{{n[0], n[1]}, {n[2], n[3]}};
                break;
            }
            case Form::range:
                value.data = readRange();
                break;
            case Form::element: {
                PendingRef ref{readString(), where()};
                refs.push_back(std::move(ref));
                value.data = ElementRef{-static_cast<std::int32_t>(refs.size())};
                break;
            }
            case Form::attributed:
                value.data = AttributedText{readString()};
                break;
            case Form::error: {
                if (!whole) {
                    fail("an error value cannot stand inside a list");
                }
                static constexpr Names<9> codes = {
                    "cannotComplete",  "noValue",          "attributeUnsupported",
                    "invalidElement",  "invalidUIElement", "failure",
                    "illegalArgument", "notImplemented",   "apiDisabled"};
                static constexpr std::array<AXError, 9> errors = {
                    AXError::cannotComplete,       AXError::noValue,
                    AXError::attributeUnsupported, AXError::invalidUIElement,
                    AXError::invalidUIElement,     AXError::failure,
                    AXError::illegalArgument,      AXError::notImplemented,
                    AXError::apiDisabled};
                value.data = ErrorValue{errors[readName("error", codes)]};
                break;
            }
            case Form::other:
                value.data = OtherText{readString()};
                break;
        }
    }
    if (cursor.nextMember(key)) {
        fail("a value object has exactly one key");
    }
    return value;
}

std::int32_t Loader::lookUp(const App& app, const IdMap& ids, const std::string& id,
                            const std::string& place) {
    const auto index = ids.find(app.nodes, id);
    if (!index) {
        failAt(place, "no element " + quoted(id) + " in this app");
    }
    return *index;
}

void Loader::resolve(SimValue& value, const std::vector<PendingRef>& refs, const App& app,
                     const IdMap& ids) {
    if (auto* ref = std::get_if<ElementRef>(&value.data)) {
        if (ref->index < 0) {
            const PendingRef& pending = refs[static_cast<std::size_t>(-ref->index - 1)];
            ref->index = lookUp(app, ids, pending.id, pending.where);
        }
    } else if (auto* list = std::get_if<SimList>(&value.data)) {
        for (auto& item : *list) {
            resolve(item, refs, app, ids);
        }
    }
}

}  // namespace platform::sim::loading
