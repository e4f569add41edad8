// The desktop file loader: pulls the file through the strict JSON reader straight into the model,
// refusing wrong shapes and dangling references with a detail that names the place.
#include "platform/sim/load.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/sim/base64.h"
#include "platform/sim/json_cursor.h"
#include "platform/sim/layouts.h"
#include "text/utf8.h"

namespace platform::sim {

namespace {

struct LoadError {
    std::string message;
};

template <std::size_t N>
using Names = std::array<std::string_view, N>;

template <std::size_t N>
int nameIndex(std::string_view key, const Names<N>& names) {
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i] == key) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// The ids of one application's elements: an open-addressing table of element indices, the ids
// themselves staying in the element table, so that loading a large tree allocates little.
class IdMap {
  public:
    /// False when the id of nodes[index] is already in the table.
    bool insert(const std::vector<Node>& nodes, std::int32_t index) {
        if ((count + 1) * 2 > slots.size()) {
            grow();
        }
        const std::string& id = nodes[static_cast<std::size_t>(index)].id;
        const std::size_t hash = std::hash<std::string_view>()(id);
        for (std::size_t at = hash & mask();; at = (at + 1) & mask()) {
            Slot& slot = slots[at];
            if (slot.index < 0) {
                slot = {hash, index};
                ++count;
                return true;
            }
            if (slot.hash == hash && nodes[static_cast<std::size_t>(slot.index)].id == id) {
                return false;
            }
        }
    }

    std::optional<std::int32_t> find(const std::vector<Node>& nodes, std::string_view id) const {
        if (slots.empty()) {
            return std::nullopt;
        }
        const std::size_t hash = std::hash<std::string_view>()(id);
        for (std::size_t at = hash & mask();; at = (at + 1) & mask()) {
            const Slot& slot = slots[at];
            if (slot.index < 0) {
                return std::nullopt;
            }
            if (slot.hash == hash && nodes[static_cast<std::size_t>(slot.index)].id == id) {
                return slot.index;
            }
        }
    }

  private:
    struct Slot {
        std::size_t hash = 0;
        std::int32_t index = -1;
    };

    std::size_t mask() const { return slots.size() - 1; }

    void grow() {
        std::vector<Slot> old = std::move(slots);
        slots.assign(old.empty() ? 64 : old.size() * 2, Slot{});
        for (const Slot& slot : old) {
            if (slot.index >= 0) {
                std::size_t at = slot.hash & mask();
                while (slots[at].index >= 0) {
                    at = (at + 1) & mask();
                }
                slots[at] = slot;
            }
        }
    }

    std::vector<Slot> slots;
    std::size_t count = 0;
};

// An element reference waiting for its application's ids: ElementRef{-(k + 1)} names entry k.
struct PendingRef {
    std::string id;
    std::string where;
};

class Loader {
  public:
    explicit Loader(std::string_view text) : cursor(text), elementsLeft(countIds(text)) {
        path.reserve(64);
    }

    Desktop run();

  private:
    struct Segment {
        std::string_view key;
        std::int64_t index = -1;
    };

    // Keeps one step of the path to the value being read, for error details.
    class Step {
      public:
        // `stable`: the key outlives the step (a literal, or a string the caller holds).
        Step(Loader& loader, std::string_view key, bool stable = false) : loader(loader) {
            loader.path.push_back({stable ? key : loader.keep(key), -1});
        }
        Step(Loader& loader, std::size_t index) : loader(loader) {
            loader.path.push_back({{}, static_cast<std::int64_t>(index)});
        }
        ~Step() { loader.path.pop_back(); }
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

      private:
        Loader& loader;
    };

    // Records which keys of one object were seen, to refuse a key given twice.
    template <std::size_t N>
    class Members {
      public:
        Members(Loader& loader, const Names<N>& names) : loader(loader), names(names) {}
        int index(std::string_view key) {
            const int i = nameIndex(key, names);
            if (i >= 0) {
                if (seen[static_cast<std::size_t>(i)]) {
                    loader.fail("key " + quoted(key) + " is given twice");
                }
                seen.set(static_cast<std::size_t>(i));
            }
            return i;
        }
        bool has(int i) const { return seen[static_cast<std::size_t>(i)]; }

      private:
        Loader& loader;
        const Names<N>& names;
        std::bitset<N> seen;
    };

    // A view of the text that lasts as long as the loader: the file's own bytes when the
    // string had no escapes, else a kept copy.
    std::string_view keep(std::string_view text) {
        if (cursor.inSource(text)) {
            return text;
        }
        return kept.emplace_back(text);
    }

    std::string where() const;
    [[noreturn]] void fail(const std::string& problem) const;
    [[noreturn]] static void failAt(const std::string& where, const std::string& problem);

    template <typename Body>
    void eachMember(const char* what, Body body);
    template <typename Body>
    void eachElement(const char* what, Body body);

    bool isNull();
    bool readBool();
    std::string readString();
    std::optional<std::string> readStringOrNull();
    std::int64_t readInteger();
    Pid readPid();
    double readMs();
    SimValue readValue(bool whole, std::vector<PendingRef>& refs);
    std::array<double, 4> readNumbers(std::size_t count, const char* form);

    void readDesktopMembers();
    void readSystemVersion();
    void readFocusedApplication();
    void readLayouts();
    LayoutSlot readLayout();
    void readPasteboard();
    std::vector<PasteboardItemData> readItems();
    PasteboardItemData readItem();
    void readApp();
    std::int32_t readElement(App& app, std::int32_t parent, IdMap& ids,
                             std::vector<PendingRef>& refs);
    std::optional<ActivationReaction> readActivation();
    std::optional<CopyReaction> readCopy();
    std::optional<PasteReaction> readPaste();
    void readTimelineEvent(std::size_t position);
    void resolveTimeline();
    void resolve(SimValue& value, const std::vector<PendingRef>& refs, const App& app,
                 const IdMap& ids);
    std::int32_t lookUp(const App& app, const IdMap& ids, const std::string& id,
                        const std::string& place);

    // An upper bound of the elements still to come (every element has an "id" key), so that the
    // element table of a large application is allocated once.
    static std::size_t countIds(std::string_view text) {
        std::size_t count = 0;
        for (std::size_t at = text.find("\"id\""); at != std::string_view::npos;
             at = text.find("\"id\"", at + 4)) {
            ++count;
        }
        return count;
    }

    JsonCursor cursor;
    std::size_t elementsLeft = 0;
    std::deque<std::string> kept;
    std::vector<Segment> path;
    Desktop desktop;
    std::vector<IdMap> appIds;

    // Timeline references are checked once every application is known.
    struct TimelineRefs {
        std::size_t event = 0;
        std::string where;
        std::optional<std::string> element;
        std::vector<PendingRef> refs;
    };
    std::vector<TimelineRefs> timelineRefs;
};

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

template <typename Body>
void Loader::eachMember(const char* what, Body body) {
    if (cursor.peek() != JsonCursor::Kind::object) {
        fail(std::string("expected ") + what);
    }
    cursor.beginObject();
    std::string_view key;
    for (bool more = cursor.firstMember(key); more; more = cursor.nextMember(key)) {
        body(key);
    }
}

template <typename Body>
void Loader::eachElement(const char* what, Body body) {
    if (cursor.peek() != JsonCursor::Kind::array) {
        fail(std::string("expected ") + what);
    }
    cursor.beginArray();
    std::size_t index = 0;
    for (bool more = cursor.firstElement(); more; more = cursor.nextElement()) {
        Step step(*this, index);
        body(index);
        ++index;
    }
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
    static constexpr Names<8> forms = {"point",   "size",       "rect",  "range",
                                       "element", "attributed", "error", "other"};
    cursor.beginObject();
    std::string_view key;
    if (!cursor.firstMember(key)) {
        fail("an empty object is not a value");
    }
    const int form = nameIndex(key, forms);
    if (form < 0) {
        fail("unknown value form " + quoted(key) +
             " (point, size, rect, range, element, attributed, error, other)");
    }
    SimValue value;
    {
        Step step(*this, forms[static_cast<std::size_t>(form)], true);
        switch (form) {
            case 0: {
                const auto n = readNumbers(2, "[x, y]");
                value.data = Point{n[0], n[1]};
                break;
            }
            case 1: {
                const auto n = readNumbers(2, "[width, height]");
                value.data = Size{n[0], n[1]};
                break;
            }
            case 2: {
                const auto n = readNumbers(4, "[x, y, width, height]");
                value.data = Rect{{n[0], n[1]}, {n[2], n[3]}};
                break;
            }
            case 3: {
                Range range;
                std::size_t n = 0;
                if (cursor.peek() == JsonCursor::Kind::array) {
                    cursor.beginArray();
                    for (bool more = cursor.firstElement(); more; more = cursor.nextElement()) {
                        if (n >= 2) {
                            fail("expected [location, length]");
                        }
                        (n++ == 0 ? range.location : range.length) = readInteger();
                    }
                }
                if (n != 2) {
                    fail("expected [location, length]");
                }
                value.data = range;
                break;
            }
            case 4: {
                PendingRef ref{readString(), where()};
                refs.push_back(std::move(ref));
                value.data = ElementRef{-static_cast<std::int32_t>(refs.size())};
                break;
            }
            case 5:
                value.data = AttributedText{readString()};
                break;
            case 6: {
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
                const std::string code = readString();
                const int i = nameIndex(code, codes);
                if (i < 0) {
                    fail("unknown error " + quoted(code));
                }
                value.data = ErrorValue{errors[static_cast<std::size_t>(i)]};
                break;
            }
            default:
                value.data = OtherText{readString()};
                break;
        }
    }
    if (cursor.nextMember(key)) {
        fail("a value object has exactly one key");
    }
    return value;
}

Desktop Loader::run() {
    try {
        if (cursor.peek() != JsonCursor::Kind::object) {
            fail("a desktop is a JSON object");
        }
        readDesktopMembers();
        cursor.finish();
    } catch (const JsonSyntaxError& error) {
        throw LoadError{"not JSON: " + error.problem + " at " +
                        describeOffset(cursor.source(), error.offset)};
    }
    resolveTimeline();
    return std::move(desktop);
}

void Loader::readDesktopMembers() {
    static constexpr Names<9> names = {
        "trusted", "systemVersion", "frontmost", "focusedApplication", "layouts", "pasteboard",
        "apps",    "timeline",      "lastRun"};
    Members members(*this, names);
    eachMember("an object", [&](std::string_view key) {
        const int k = members.index(key);
        if (k < 0) {
            cursor.skipValue();
            return;
        }
        Step step(*this, names[static_cast<std::size_t>(k)], true);
        switch (k) {
            case 0:
                desktop.trusted = readBool();
                break;
            case 1:
                readSystemVersion();
                break;
            case 2:
                if (isNull()) {
                    desktop.frontmost.reset();
                } else {
                    desktop.frontmost = readPid();
                }
                break;
            case 3:
                readFocusedApplication();
                break;
            case 4:
                readLayouts();
                break;
            case 5:
                readPasteboard();
                break;
            case 6:
                eachElement("a list of apps", [&](std::size_t) { readApp(); });
                break;
            case 7:
                eachElement("a list of events", [&](std::size_t i) { readTimelineEvent(i); });
                break;
            default:
                cursor.skipValue();
                break;
        }
    });
}

void Loader::readSystemVersion() {
    const std::string text = readString();
    std::array<int, 3> parts{0, 0, 0};
    std::size_t count = 0;
    std::size_t i = 0;
    bool ok = !text.empty();
    while (ok && i < text.size()) {
        if (count == 3) {
            ok = false;
            break;
        }
        std::int64_t value = 0;
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000) {
            value = value * 10 + (text[i] - '0');
            ++i;
        }
        if (i == start || value >= 100000) {
            ok = false;
            break;
        }
        parts[count++] = static_cast<int>(value);
        if (i < text.size()) {
            if (text[i] != '.' || i + 1 == text.size()) {
                ok = false;
                break;
            }
            ++i;
        }
    }
    if (!ok || count < 2) {
        fail("expected a version \"major.minor[.patch]\", found " + quoted(text));
    }
    desktop.systemVersion = text;
    desktop.version = parts;
}

void Loader::readFocusedApplication() {
    if (isNull()) {
        desktop.focusedApplication = {FocusedApplication::Kind::none, 0};
        return;
    }
    if (cursor.peek() == JsonCursor::Kind::string) {
        if (cursor.readString() != "fail") {
            fail("expected a process id, null or \"fail\"");
        }
        desktop.focusedApplication = {FocusedApplication::Kind::fail, 0};
        return;
    }
    if (cursor.peek() != JsonCursor::Kind::number) {
        fail("expected a process id, null or \"fail\"");
    }
    desktop.focusedApplication = {FocusedApplication::Kind::pid, readPid()};
}

void Loader::readLayouts() {
    desktop.layoutsGiven = false;
    desktop.currentLayout = {};
    desktop.asciiCapableLayout = {};
    if (isNull()) {
        return;
    }
    desktop.layoutsGiven = true;
    static constexpr Names<2> names = {"current", "asciiCapable"};
    Members members(*this, names);
    eachMember("an object or null", [&](std::string_view key) {
        const int k = members.index(key);
        if (k < 0) {
            cursor.skipValue();
            return;
        }
        Step step(*this, names[static_cast<std::size_t>(k)], true);
        (k == 0 ? desktop.currentLayout : desktop.asciiCapableLayout) = readLayout();
    });
}

LayoutSlot Loader::readLayout() {
    if (isNull()) {
        return {LayoutSlot::Kind::noData, nullptr};
    }
    if (cursor.peek() == JsonCursor::Kind::string) {
        const std::string name(cursor.readString());
        auto layout = builtinLayout(name);
        if (!layout) {
            fail("unknown layout " + quoted(name) + " (us, dvorak, azerty, qwertz)");
        }
        return {LayoutSlot::Kind::layout, std::move(layout)};
    }
    KeyLayout layout;
    bool haveKeys = false;
    static constexpr Names<1> names = {"keys"};
    Members members(*this, names);
    eachMember("a layout name, a key map or null", [&](std::string_view key) {
        if (members.index(key) < 0) {
            cursor.skipValue();
            return;
        }
        haveKeys = true;
        Step step(*this, "keys", true);
        eachMember("an object of key codes", [&](std::string_view code) {
            std::int64_t value = -1;
            if (!code.empty() && code.size() <= 3 &&
                code.find_first_not_of("0123456789") == std::string_view::npos) {
                value = std::stoll(std::string(code));
            }
            if (value < 0 || value > 127) {
                fail("key code " + quoted(code) + " is not 0 to 127");
            }
            const auto index = static_cast<std::size_t>(value);
            if (layout.given[index]) {
                fail("key code " + quoted(code) + " is given twice");
            }
            Step inner(*this, code);
            std::u16string output = text::toUtf16(readString());
            if (output.size() > 4) {
                fail("a key types at most 4 UTF-16 units");
            }
            layout.keys[index] = std::move(output);
            layout.given.set(index);
        });
    });
    if (!haveKeys) {
        fail("a custom layout needs \"keys\"");
    }
    return {LayoutSlot::Kind::layout, customLayout(std::move(layout))};
}

void Loader::readPasteboard() {
    static constexpr Names<2> names = {"changeCount", "items"};
    Members members(*this, names);
    eachMember("an object", [&](std::string_view key) {
        const int k = members.index(key);
        if (k < 0) {
            cursor.skipValue();
            return;
        }
        Step step(*this, names[static_cast<std::size_t>(k)], true);
        if (k == 0) {
            desktop.changeCount = readInteger();
        } else {
            desktop.pasteboard = readItems();
        }
    });
}

std::vector<PasteboardItemData> Loader::readItems() {
    std::vector<PasteboardItemData> items;
    eachElement("a list of items", [&](std::size_t) { items.push_back(readItem()); });
    return items;
}

PasteboardItemData Loader::readItem() {
    PasteboardItemData item;
    eachElement("an item (a list of types)", [&](std::size_t) {
        static constexpr Names<4> names = {"type", "text", "base64", "data"};
        Members members(*this, names);
        PasteboardEntry entry;
        int payloads = 0;
        eachMember("a type object", [&](std::string_view key) {
            const int k = members.index(key);
            if (k < 0) {
                cursor.skipValue();
                return;
            }
            Step step(*this, names[static_cast<std::size_t>(k)], true);
            switch (k) {
                case 0:
                    entry.type = readString();
                    return;
                case 1: {
                    const std::string text = readString();
                    entry.data = Bytes(text.begin(), text.end());
                    break;
                }
                case 2: {
                    auto bytes = decodeBase64(readString());
                    if (!bytes) {
                        fail("not base64");
                    }
                    entry.data = std::move(*bytes);
                    break;
                }
                default:
                    if (!isNull()) {
                        fail("\"data\" can only be null (a type that yields no data)");
                    }
                    entry.data.reset();
                    break;
            }
            ++payloads;
        });
        if (!members.has(0)) {
            fail("a pasteboard type needs \"type\"");
        }
        if (payloads != 1) {
            fail("a pasteboard type needs exactly one of \"text\", \"base64\" or \"data\": null");
        }
        item.push_back(std::move(entry));
    });
    return item;
}

void Loader::readApp() {
    static constexpr Names<11> names = {"pid",     "bundleId",     "name",          "terminated",
                                        "focused", "focusDelayMs", "focusedWindow", "activation",
                                        "copy",    "paste",        "root"};
    Members members(*this, names);
    App app;
    IdMap ids;
    std::vector<PendingRef> refs;
    std::optional<std::string> focused;
    std::string focusedWhere;
    std::optional<std::string> focusedWindow;
    std::string focusedWindowWhere;
    eachMember("an app object", [&](std::string_view key) {
        const int k = members.index(key);
        if (k < 0) {
            cursor.skipValue();
            return;
        }
        Step step(*this, names[static_cast<std::size_t>(k)], true);
        switch (k) {
            case 0:
                app.pid = readPid();
                break;
            case 1:
                app.bundleId = readStringOrNull();
                break;
            case 2:
                app.name = readStringOrNull();
                break;
            case 3:
                app.terminated = readBool();
                break;
            case 4:
                focused = readStringOrNull();
                focusedWhere = where();
                break;
            case 5:
                app.focusDelayMs = readMs();
                break;
            case 6:
                focusedWindow = readStringOrNull();
                focusedWindowWhere = where();
                break;
            case 7:
                app.activation = readActivation();
                break;
            case 8:
                app.copy = readCopy();
                break;
            case 9:
                app.paste = readPaste();
                break;
            default:
                app.nodes.reserve(elementsLeft);
                readElement(app, noElement, ids, refs);
                elementsLeft -= std::min(elementsLeft, app.nodes.size());
                if (app.nodes.capacity() > 2 * app.nodes.size() + 64) {
                    app.nodes.shrink_to_fit();
                }
                break;
        }
    });
    if (!members.has(0)) {
        fail("an app needs a \"pid\"");
    }
    if (!members.has(10)) {
        fail("an app needs a \"root\"");
    }
    if (desktop.appIndex.count(app.pid) != 0) {
        fail("pid " + std::to_string(app.pid) + " is named twice");
    }
    if (!refs.empty()) {
        for (auto& node : app.nodes) {
            for (auto& attribute : node.attributes) {
                resolve(attribute.second, refs, app, ids);
            }
            if (node.boundsForRange) {
                resolve(*node.boundsForRange, refs, app, ids);
            }
        }
    }
    if (focused) {
        app.focused = lookUp(app, ids, *focused, focusedWhere);
    }
    if (focusedWindow) {
        app.focusedWindow = lookUp(app, ids, *focusedWindow, focusedWindowWhere);
    }
    desktop.appIndex.emplace(app.pid, desktop.apps.size());
    desktop.apps.push_back(std::move(app));
    appIds.push_back(std::move(ids));
}

std::int32_t Loader::readElement(App& app, std::int32_t parent, IdMap& ids,
                                 std::vector<PendingRef>& refs) {
    static constexpr Names<7> names = {
        "id",        "attributes", "settable", "boundsForRange", "selectionReadBack",
        "latencyMs", "children"};
    const auto index = static_cast<std::int32_t>(app.nodes.size());
    if (app.nodes.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        fail("too many elements");
    }
    app.nodes.emplace_back();
    app.nodes[static_cast<std::size_t>(index)].parent = parent;
    Members members(*this, names);
    const auto node = [&]() -> Node& { return app.nodes[static_cast<std::size_t>(index)]; };
    eachMember("an element object", [&](std::string_view key) {
        const int k = members.index(key);
        if (k < 0) {
            cursor.skipValue();
            return;
        }
        Step step(*this, names[static_cast<std::size_t>(k)], true);
        switch (k) {
            case 0: {
                if (cursor.peek() != JsonCursor::Kind::string) {
                    fail("expected a string");
                }
                node().id = std::string(cursor.readString());
                if (!ids.insert(app.nodes, index)) {
                    fail("element id " + quoted(node().id) + " is repeated in this app");
                }
                break;
            }
            case 1:
                node().attributes.reserve(8);
                eachMember("an object of attributes", [&](std::string_view name) {
                    if (node().find(name) != nullptr) {
                        fail("attribute " + quoted(name) + " is given twice");
                    }
                    // Reading a value touches no element table, so the reference stays good.
                    Attribute& attribute =
                        node().attributes.emplace_back(std::string(name), SimValue{});
                    Step inner(*this, attribute.first, true);
                    attribute.second = readValue(true, refs);
                });
                break;
            case 2:
                eachElement("a list of attribute names",
                            [&](std::size_t) { node().settable.push_back(readString()); });
                break;
            case 3:
                node().boundsForRange = readValue(true, refs);
                break;
            case 4: {
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
                node().selectionReadBack = range;
                break;
            }
            case 5:
                node().latencyMs = readMs();
                break;
            default:
                eachElement("a list of elements", [&](std::size_t) {
                    const std::int32_t child = readElement(app, index, ids, refs);
                    node().children.push_back(child);
                });
                break;
        }
    });
    if (!members.has(0)) {
        fail("an element needs an \"id\"");
    }
    return index;
}

std::optional<ActivationReaction> Loader::readActivation() {
    if (isNull()) {
        return std::nullopt;
    }
    ActivationReaction reaction;
    static constexpr Names<1> names = {"delayMs"};
    Members members(*this, names);
    eachMember("an object or null", [&](std::string_view key) {
        if (members.index(key) < 0) {
            cursor.skipValue();
            return;
        }
        Step step(*this, "delayMs", true);
        reaction.delayMs = readMs();
    });
    return reaction;
}

std::optional<CopyReaction> Loader::readCopy() {
    if (isNull()) {
        return std::nullopt;
    }
    CopyReaction reaction;
    static constexpr Names<3> names = {"delayMs", "text", "items"};
    Members members(*this, names);
    eachMember("an object or null", [&](std::string_view key) {
        const int k = members.index(key);
        if (k < 0) {
            cursor.skipValue();
            return;
        }
        Step step(*this, names[static_cast<std::size_t>(k)], true);
        if (k == 0) {
            reaction.delayMs = readMs();
        } else if (k == 1) {
            reaction.text = readString();
        } else {
            reaction.items = readItems();
        }
    });
    return reaction;
}

std::optional<PasteReaction> Loader::readPaste() {
    if (isNull()) {
        return std::nullopt;
    }
    PasteReaction reaction;
    static constexpr Names<2> names = {"delayMs", "transform"};
    Members members(*this, names);
    eachMember("an object or null", [&](std::string_view key) {
        const int k = members.index(key);
        if (k < 0) {
            cursor.skipValue();
            return;
        }
        Step step(*this, names[static_cast<std::size_t>(k)], true);
        if (k == 0) {
            reaction.delayMs = readMs();
            return;
        }
        static constexpr Names<5> transforms = {"none", "newlinesToSpaces", "trim", "upper", "nfd"};
        const std::string name = readString();
        const int t = nameIndex(name, transforms);
        if (t < 0) {
            fail("unknown transform " + quoted(name) +
                 " (none, newlinesToSpaces, trim, upper, nfd)");
        }
        reaction.transform = static_cast<Transform>(t);
    });
    return reaction;
}

void Loader::readTimelineEvent(std::size_t position) {
    static constexpr Names<8> names = {"atMs",  "after",     "delayMs", "pasteboard",
                                       "focus", "frontmost", "set",     "signal"};
    Members members(*this, names);
    TimelineEvent event;
    TimelineRefs refs;
    refs.event = position;
    int actions = 0;
    eachMember("an event object", [&](std::string_view key) {
        const int k = members.index(key);
        if (k < 0) {
            cursor.skipValue();
            return;
        }
        Step step(*this, names[static_cast<std::size_t>(k)], true);
        if (k >= 3) {
            ++actions;
        }
        switch (k) {
            case 0:
                event.atMs = readMs();
                break;
            case 1: {
                static constexpr Names<4> triggers = {"commandC", "commandV", "activation",
                                                      "pasteboardWrite"};
                const std::string name = readString();
                const int t = nameIndex(name, triggers);
                if (t < 0) {
                    fail("unknown trigger " + quoted(name) +
                         " (commandC, commandV, activation, pasteboardWrite)");
                }
                event.after = static_cast<Trigger>(t);
                break;
            }
            case 2:
                event.delayMs = readMs();
                break;
            case 3: {
                PasteboardAction action;
                bool haveItems = false;
                static constexpr Names<1> itemNames = {"items"};
                Members inner(*this, itemNames);
                eachMember("an object with \"items\"", [&](std::string_view name) {
                    if (inner.index(name) < 0) {
                        cursor.skipValue();
                        return;
                    }
                    Step itemsStep(*this, "items", true);
                    action.items = readItems();
                    haveItems = true;
                });
                if (!haveItems) {
                    fail("a pasteboard write needs \"items\"");
                }
                event.action = std::move(action);
                break;
            }
            case 4:
            case 6: {
                static constexpr Names<3> targetNames = {"pid", "element", "attributes"};
                Members inner(*this, targetNames);
                Pid pid = 0;
                std::vector<Attribute> attributes;
                refs.where = where();
                eachMember("an object", [&](std::string_view name) {
                    const int t = inner.index(name);
                    if (t < 0 || (k == 4 && t == 2)) {
                        cursor.skipValue();
                        return;
                    }
                    Step targetStep(*this, targetNames[static_cast<std::size_t>(t)], true);
                    if (t == 0) {
                        pid = readPid();
                    } else if (t == 1) {
                        refs.element = k == 4 ? readStringOrNull() : readString();
                    } else {
                        eachMember("an object of attributes", [&](std::string_view attribute) {
                            std::string attributeName(attribute);
                            SimValue value;
                            {
                                Step valueStep(*this, attributeName, true);
                                value = readValue(true, refs.refs);
                            }
                            attributes.emplace_back(std::move(attributeName), std::move(value));
                        });
                    }
                });
                if (!inner.has(0) || !inner.has(1) || (k == 6 && !inner.has(2))) {
                    fail(k == 4 ? "a focus change needs \"pid\" and \"element\""
                                : "a set needs \"pid\", \"element\" and \"attributes\"");
                }
                if (k == 4) {
                    event.action = FocusAction{pid, std::nullopt};
                } else {
                    event.action = SetAction{pid, 0, std::move(attributes)};
                }
                break;
            }
            case 5:
                if (isNull()) {
                    event.action = FrontmostAction{std::nullopt};
                } else {
                    event.action = FrontmostAction{readPid()};
                }
                break;
            default:
                if (readString() != "TERM") {
                    fail("the only signal is \"TERM\"");
                }
                event.action = SignalAction{};
                break;
        }
    });
    if (members.has(0) == members.has(1)) {
        fail("an event needs exactly one of \"atMs\" and \"after\"");
    }
    if (members.has(0) && members.has(2)) {
        fail("\"delayMs\" belongs to \"after\" events");
    }
    if (actions != 1) {
        fail(
            "an event needs exactly one of \"pasteboard\", \"focus\", \"frontmost\", \"set\", "
            "\"signal\"");
    }
    if (!refs.where.empty()) {
        timelineRefs.push_back(std::move(refs));
    }
    desktop.timeline.push_back(std::move(event));
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

void Loader::resolveTimeline() {
    for (auto& refs : timelineRefs) {
        TimelineEvent& event = desktop.timeline[refs.event];
        Pid pid = 0;
        if (const auto* focus = std::get_if<FocusAction>(&event.action)) {
            pid = focus->pid;
        } else if (const auto* set = std::get_if<SetAction>(&event.action)) {
            pid = set->pid;
        }
        const auto it = desktop.appIndex.find(pid);
        if (it == desktop.appIndex.end()) {
            failAt(refs.where, "pid " + std::to_string(pid) + " is not on the desktop");
        }
        const IdMap& ids = appIds[it->second];
        const App& app = desktop.apps[it->second];
        if (auto* focus = std::get_if<FocusAction>(&event.action)) {
            if (refs.element) {
                focus->element = lookUp(app, ids, *refs.element, refs.where + ".element");
            }
        } else if (auto* set = std::get_if<SetAction>(&event.action)) {
            set->element = lookUp(app, ids, *refs.element, refs.where + ".element");
            for (auto& attribute : set->attributes) {
                resolve(attribute.second, refs.refs, app, ids);
            }
        }
    }
}

}  // namespace

LoadOutcome loadDesktop(std::string_view text, std::string_view name) {
    LoadOutcome outcome;
    try {
        Loader loader(text);
        outcome.desktop = loader.run();
    } catch (const LoadError& error) {
        outcome.detail = "desktop: " + std::string(name) + ": " + error.message;
    } catch (const std::bad_alloc&) {
        outcome.detail = "desktop: " + std::string(name) + ": out of memory";
    }
    return outcome;
}

LoadOutcome loadDesktopFile(const std::string& path) {
    const auto refuse = [&](const char* what, int error) {
        LoadOutcome outcome;
        outcome.detail = "desktop: " + path + ": " + what + ": " + std::strerror(error);
        return outcome;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return refuse("cannot read", errno);
    }
    std::string text;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0) {
        text.reserve(static_cast<std::size_t>(info.st_size));
    }
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            ::close(fd);
            return refuse("cannot read", error);
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return loadDesktop(text, path);
}

}  // namespace platform::sim
