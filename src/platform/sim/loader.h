// The desktop file loader's reader class, shared by the files that read each part of a file:
// it pulls values from the strict JSON reader and keeps the path to the value being read.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/json_cursor.h"
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

inline std::string quoted(std::string_view text) {
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

    void openObject(const char* what) {
        if (cursor.peek() != JsonCursor::Kind::object) {
            fail(std::string("expected ") + what);
        }
        cursor.beginObject();
    }
    template <typename Body>
    void eachMember(const char* what, Body body);
    template <typename Key, std::size_t N, typename Body>
    Seen<Key, N> readMembers(const char* what, const Names<N>& names, Body body);
    template <typename Body>
    void eachElement(const char* what, Body body);

    bool isNull();
    bool readBool();
    std::string readString();
    template <std::size_t N>
    std::size_t readName(const char* what, const Names<N>& names);
    std::optional<std::string> readStringOrNull();
    std::int64_t readInteger();
    Pid readPid();
    double readMs();
    SimValue readValue(bool whole, std::vector<PendingRef>& refs);
    std::array<double, 4> readNumbers(std::size_t count, const char* form);
    Range readRange();

    void readDesktopMembers();
    void readSystemVersion();
    void readFocusedApplication();
    void readLayouts();
    LayoutSlot readLayout();
    void readKeyMap(std::array<std::u16string, 128>& keys, std::bitset<128>& given);
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

template <typename Body>
void Loader::eachMember(const char* what, Body body) {
    openObject(what);
    std::string_view key;
    for (bool more = cursor.firstMember(key); more; more = cursor.nextMember(key)) {
        body(key);
    }
}

// Reads an object of the record whose keys are `names`, calling `body` with the key of each known
// member while that key is on the path. A key the record does not name is passed over (its value
// still has to be JSON); a known key given twice is refused at the path of the object, so that
// the detail names the object that holds both.
template <typename Key, std::size_t N, typename Body>
Loader::Seen<Key, N> Loader::readMembers(const char* what, const Names<N>& names, Body body) {
    Seen<Key, N> seen;
    openObject(what);
    std::string_view key;
    for (bool more = cursor.firstMember(key); more; more = cursor.nextMember(key)) {
        const int found = nameIndex(key, names);
        if (found < 0) {
            cursor.skipValue();
            continue;
        }
        const auto at = static_cast<std::size_t>(found);
        if (seen.bits[at]) {
            fail("key " + quoted(key) + " is given twice");
        }
        seen.bits.set(at);
        Step step(*this, names[at], true);
        body(static_cast<Key>(found));
    }
    return seen;
}

// Reads a string that must be one of `names` and gives its position there; the refusal lists
// the names, so that a typo in a desktop file shows the spelling wanted.
template <std::size_t N>
std::size_t Loader::readName(const char* what, const Names<N>& names) {
    const std::string name = readString();
    const int found = nameIndex(name, names);
    if (found < 0) {
        fail(std::string("unknown ") + what + " " + quoted(name) + " " + listed(names));
    }
    return static_cast<std::size_t>(found);
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

}  // namespace platform::sim::loading
