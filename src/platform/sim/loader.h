// The desktop file loader's reader class, shared by the files that read each part of a file:
// it reads the parsed text in its order, one value at a time, checking it as it goes, and keeps
// the path to the value being read.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "parse/document.h"
#include "platform/sim/model.h"

namespace platform::sim::loading {

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

inline std::string inQuotes(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// "(a, b, c)": the spellings a refusal offers.
template <std::size_t N>
std::string listed(const Names<N>& names) {
    std::string text = "(";
    for (const std::string_view name : names) {
        text += (text.size() > 1 ? ", " : "") + std::string(name);
    }
    return text + ")";
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
    /// `text` must have been padded for parsing and must outlive the loader.
    explicit Loader(const std::string& text)
        : document(text, parse::Document::Check::asRead), elementsLeft(countIds(text)) {
        path.reserve(64);
    }

    Desktop run();

  private:
    using Value = parse::Value;
    using Kind = parse::Type;

    /// Containers may nest this deep; deeper text is refused rather than risk the stack.
    static constexpr std::size_t maxDepth = 512;

    struct Segment {
        std::string_view key;
        std::int64_t index = -1;
    };

    // Keeps one step of the path to the value being read, for error details. Keys are views of
    // the text or of the parser's buffer, both of which last as long as the loader.
    class Step {
      public:
        Step(Loader& loader, std::string_view key) : loader(loader) {
            loader.path.push_back({key, -1});
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

    // Which keys of one object were read, for the checks of keys a record needs; `Key` numbers
    // the record's names in their order.
    template <typename Key, std::size_t N>
    class Seen {
      public:
        bool has(Key key) const { return bits[static_cast<std::size_t>(key)]; }

      private:
        friend class Loader;
        std::bitset<N> bits;
    };

    std::string where() const;
    [[noreturn]] void fail(const std::string& problem) const;
    [[noreturn]] static void failAt(const std::string& where, const std::string& problem);

    // The parser's own faults, as text that is not JSON.
    void ok(simdjson::error_code error);
    Kind kindOf(Value& value);
    simdjson::ondemand::object openObject(Value& value, const char* what);
    template <typename Body>
    void eachMember(Value& value, const char* what, Body body);
    template <typename Key, std::size_t N, typename Body>
    Seen<Key, N> readMembers(Value& value, const char* what, const Names<N>& names, Body body);
    template <typename Body>
    void eachElement(Value& value, const char* what, Body body);
    void skip(Value& value) { document.check(value, maxDepth); }

    struct Number {
        bool integral = false;     // written without fraction or exponent, and fits 64 bits
        std::int64_t integer = 0;  // the value when integral
        double real = 0;           // the value, always
    };
    Number readNumber(Value& value);

    bool isNull(Value& value);
    bool readBool(Value& value);
    std::string_view readText(Value& value);
    std::string readString(Value& value);
    template <std::size_t N>
    std::size_t readName(Value& value, const char* what, const Names<N>& names);
    std::optional<std::string> readStringOrNull(Value& value);
    std::int64_t readInteger(Value& value);
    Pid readPid(Value& value);
    double readMs(Value& value);
    SimValue readValue(Value& value, bool whole, std::vector<PendingRef>& refs);
    std::array<double, 4> readNumbers(Value& value, std::size_t count, const char* form);
    Range readRange(Value& value);

    void readDesktopMembers(Value& value);
    void readSystemVersion(Value& value);
    void readFocusedApplication(Value& value);
    void readHeldModifiers(Value& value);
    void readLayouts(Value& value);
    LayoutSlot readLayout(Value& value);
    void readKeyMap(Value& value, std::array<std::u16string, 128>& keys, std::bitset<128>& given);
    void readPasteboard(Value& value);
    std::vector<PasteboardItemData> readItems(Value& value);
    PasteboardItemData readItem(Value& value);
    void readApp(Value& value);
    std::int32_t readElement(Value& value, App& app, std::int32_t parent, IdMap& ids,
                             std::vector<PendingRef>& refs);
    std::optional<ActivationReaction> readActivation(Value& value);
    std::optional<CopyReaction> readCopy(Value& value);
    std::optional<PasteReaction> readPaste(Value& value);
    void readTimelineEvent(Value& value, std::size_t position);
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

    parse::Document document;
    std::size_t elementsLeft = 0;
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

template <typename Body>
void Loader::eachMember(Value& value, const char* what, Body body) {
    simdjson::ondemand::object object = openObject(value, what);
    for (auto member : object) {
        simdjson::ondemand::field field;
        ok(std::move(member).get(field));
        const std::string_view key = parse::keyOf(field);
        Value memberValue = field.value();
        body(key, memberValue);
    }
}

// Reads an object of the record whose keys are `names`, calling `body` with the key of each known
// member, and its value, while that key is on the path. A key the record does not name is passed
// over (its value still has to be JSON); a known key given twice is refused at the path of the
// object, so that the detail names the object that holds both.
template <typename Key, std::size_t N, typename Body>
Loader::Seen<Key, N> Loader::readMembers(Value& value, const char* what, const Names<N>& names,
                                         Body body) {
    Seen<Key, N> seen;
    eachMember(value, what, [&](std::string_view key, Value& member) {
        const int found = nameIndex(key, names);
        if (found < 0) {
            skip(member);
            return;
        }
        const auto at = static_cast<std::size_t>(found);
        if (seen.bits[at]) {
            fail("key " + inQuotes(key) + " is given twice");
        }
        seen.bits.set(at);
        Step step(*this, names[at]);
        body(static_cast<Key>(found), member);
    });
    return seen;
}

// Reads a string that must be one of `names` and gives its position there; the refusal lists
// the names, so that a typo in a desktop file shows the spelling wanted.
template <std::size_t N>
std::size_t Loader::readName(Value& value, const char* what, const Names<N>& names) {
    const std::string_view name = readText(value);
    const int found = nameIndex(name, names);
    if (found < 0) {
        fail(std::string("unknown ") + what + " " + inQuotes(name) + " " + listed(names));
    }
    return static_cast<std::size_t>(found);
}

template <typename Body>
void Loader::eachElement(Value& value, const char* what, Body body) {
    if (kindOf(value) != Kind::array) {
        fail(std::string("expected ") + what);
    }
    simdjson::ondemand::array array;
    ok(value.get_array().get(array));
    if (document.depth() > maxDepth) {
        throw parse::SyntaxError{document.offset(),
                                 "nesting deeper than " + std::to_string(maxDepth) + " levels"};
    }
    std::size_t index = 0;
    for (auto element : array) {
        Value elementValue;
        ok(std::move(element).get(elementValue));
        Step step(*this, index);
        body(index, elementValue);
        ++index;
    }
}

}  // namespace platform::sim::loading
