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

void Loader::ok(simdjson::error_code error) {
    if (error != simdjson::SUCCESS) {
        document.fail(error);
    }
}

Loader::Kind Loader::kindOf(Value& value) {
    Kind kind = Kind::null;
    ok(value.type().get(kind));
    switch (kind) {
        case Kind::null:
        case Kind::boolean:
        case Kind::number:
        case Kind::string:
        case Kind::array:
        case Kind::object:
            return kind;
        default:
            // simdjson 4 names a value that starts with no JSON character "unknown" where 3
            // reported the fault: it is the same fault.
            ok(simdjson::TAPE_ERROR);
            return kind;
    }
}

simdjson::ondemand::object Loader::openObject(Value& value, const char* what) {
    if (kindOf(value) != Kind::object) {
        fail(std::string("expected ") + what);
    }
    simdjson::ondemand::object object;
    ok(value.get_object().get(object));
    if (document.depth() > maxDepth) {
        throw parse::SyntaxError{document.offset(),
                                 "nesting deeper than " + std::to_string(maxDepth) + " levels"};
    }
    return object;
}

bool Loader::isNull(Value& value) {
    if (kindOf(value) != Kind::null) {
        return false;
    }
    bool null = false;
    ok(value.is_null().get(null));
    if (!null) {
        ok(simdjson::N_ATOM_ERROR);
    }
    return true;
}

bool Loader::readBool(Value& value) {
    if (kindOf(value) != Kind::boolean) {
        fail("expected true or false");
    }
    bool result = false;
    ok(value.get_bool().get(result));
    return result;
}

Loader::Number Loader::readNumber(Value& value) {
    const std::string_view text = parse::numberText(value);
    Number number;
    const simdjson::error_code read = value.get_double().get(number.real);
    ok(read == simdjson::NUMBER_ERROR && parse::isNumberText(text) ? simdjson::NUMBER_OUT_OF_RANGE
                                                                   : read);
    if (text.find_first_of(".eE") == std::string_view::npos &&
        value.get_int64().get(number.integer) == simdjson::SUCCESS) {
        number.integral = true;
        number.real = static_cast<double>(number.integer);
    }
    return number;
}

// A string's text; a view of the file or of the parser's buffer, valid as long as the loader.
std::string_view Loader::readText(Value& value) {
    if (kindOf(value) != Kind::string) {
        fail("expected a string");
    }
    return parse::stringOf(value);
}

std::string Loader::readString(Value& value) {
    return std::string(readText(value));
}

std::optional<std::string> Loader::readStringOrNull(Value& value) {
    if (isNull(value)) {
        return std::nullopt;
    }
    if (kindOf(value) != Kind::string) {
        fail("expected a string or null");
    }
    return std::string(parse::stringOf(value));
}

std::int64_t Loader::readInteger(Value& value) {
    if (kindOf(value) != Kind::number) {
        fail("expected an integer");
    }
    const auto number = readNumber(value);
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

Pid Loader::readPid(Value& value) {
    if (kindOf(value) != Kind::number) {
        fail("expected a process id");
    }
    const std::int64_t number = readInteger(value);
    if (number < std::numeric_limits<Pid>::min() || number > std::numeric_limits<Pid>::max()) {
        fail("a process id must fit 32 bits");
    }
    return static_cast<Pid>(number);
}

double Loader::readMs(Value& value) {
    if (kindOf(value) != Kind::number) {
        fail("expected milliseconds (a number, 0 or more)");
    }
    const double ms = readNumber(value).real;
    if (!(ms >= 0) || !std::isfinite(ms)) {
        fail("expected milliseconds (a number, 0 or more)");
    }
    return ms;
}

std::array<double, 4> Loader::readNumbers(Value& value, std::size_t count, const char* form) {
    std::array<double, 4> numbers{};
    std::size_t n = 0;
    if (kindOf(value) == Kind::array) {
        // The detail names the form, not the element: no step of the path for these.
        simdjson::ondemand::array array;
        ok(value.get_array().get(array));
        for (auto element : array) {
            Value number;
            ok(std::move(element).get(number));
            if (n >= count || kindOf(number) != Kind::number) {
                fail(std::string("expected ") + form);
            }
            numbers[n++] = readNumber(number).real;
        }
    }
    if (n != count) {
        fail(std::string("expected ") + form);
    }
    return numbers;
}

Range Loader::readRange(Value& value) {
    Range range;
    std::size_t n = 0;
    eachElement(value, "[location, length]", [&](std::size_t, Value& element) {
        if (n >= 2) {
            fail("expected [location, length]");
        }
        (n++ == 0 ? range.location : range.length) = readInteger(element);
    });
    if (n != 2) {
        fail("expected [location, length]");
    }
    return range;
}

SimValue Loader::readValue(Value& value, bool whole, std::vector<PendingRef>& refs) {
    switch (kindOf(value)) {
        case Kind::null:
            if (!whole) {
                fail("null cannot stand inside a list");
            }
            isNull(value);
            return {NoValue{}};
        case Kind::boolean:
            return {readBool(value)};
        case Kind::number: {
            const auto number = readNumber(value);
            if (number.integral) {
                return {number.integer};
            }
            return {number.real};
        }
        case Kind::string:
            return {readString(value)};
        case Kind::array: {
            SimList list;
            eachElement(value, "a list", [&](std::size_t, Value& element) {
                list.push_back(readValue(element, false, refs));
            });
            return {std::move(list)};
        }
        case Kind::object:
        default:  // simdjson 4's "unknown": the object reader below refuses it
            break;
    }
    enum class Form { point, size, rect, range, element, attributed, error, other };
    static constexpr Names<8> forms = {"point",   "size",       "rect",  "range",
                                       "element", "attributed", "error", "other"};
    SimValue result;
    bool first = true;
    eachMember(value, "a value", [&](std::string_view key, Value& member) {
        if (!first) {
            fail("a value object has exactly one key");
        }
        first = false;
        const int found = nameIndex(key, forms);
        if (found < 0) {
            fail("unknown value form " + inQuotes(key) + " " + listed(forms));
        }
        Step step(*this, forms[static_cast<std::size_t>(found)]);
        switch (static_cast<Form>(found)) {
            case Form::point: {
                const auto n = readNumbers(member, 2, "[x, y]");
                result.data = Point{n[0], n[1]};
                break;
            }
            case Form::size: {
                const auto n = readNumbers(member, 2, "[width, height]");
                result.data = Size{n[0], n[1]};
                break;
            }
            case Form::rect: {
                const auto n = readNumbers(member, 4, "[x, y, width, height]");
                result.data = Rect{{n[0], n[1]}, {n[2], n[3]}};
                break;
            }
            case Form::range:
                result.data = readRange(member);
                break;
            case Form::element: {
                PendingRef ref{readString(member), where()};
                refs.push_back(std::move(ref));
                result.data = ElementRef{-static_cast<std::int32_t>(refs.size())};
                break;
            }
            case Form::attributed:
                result.data = AttributedText{readString(member)};
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
                result.data = ErrorValue{errors[readName(member, "error", codes)]};
                break;
            }
            case Form::other:
                result.data = OtherText{readString(member)};
                break;
        }
    });
    if (first) {
        fail("an empty object is not a value");
    }
    return result;
}

std::int32_t Loader::lookUp(const App& app, const IdMap& ids, const std::string& id,
                            const std::string& place) {
    const auto index = ids.find(app.nodes, id);
    if (!index) {
        failAt(place, "no element " + inQuotes(id) + " in this app");
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
