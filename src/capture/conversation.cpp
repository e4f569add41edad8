// Walking the accessibility tree for the conversation list.
#include "capture/conversation.h"

#include <algorithm>
#include <array>

#include "ax/focus.h"
#include "ax/primitives.h"
#include "frame/tunables.h"
#include "platform/core_foundation.h"

namespace capture {

namespace {

using nlohmann::json;
using platform::Element;

constexpr std::array<std::pair<const char*, const char*>, 5> nodeAttributes{{
    {"subrole", "AXSubrole"},
    {"id", "AXDOMIdentifier"},
    {"title", "AXTitle"},
    {"description", "AXDescription"},
    {"value", "AXValue"},
}};

bool before(Deadline deadline) {
    return ax::Clock::now() < deadline;
}

std::optional<Element> parentOf(const Element& element) {
    return ax::axElement(ax::attribute(element, "AXParent"));
}

}  // namespace

std::string_view rawValue(Missed missed) {
    return missed == Missed::noList ? "noList" : "timedOut";
}

std::vector<std::string> classList(const Element& element) {
    const auto raw = ax::attribute(element, "AXDOMClassList");
    const auto* list = raw ? std::get_if<platform::ValueList>(&raw->data) : nullptr;
    if (list == nullptr) {
        return {};
    }
    std::vector<std::string> classes;
    classes.reserve(list->size());
    for (const platform::Value& value : *list) {
        const auto* name = std::get_if<std::string>(&value.data);
        if (name == nullptr) {
            return {};
        }
        classes.push_back(*name);
    }
    return classes;
}

bool isList(const Reader& reader, const Element& element) {
    const auto role = ax::stringAttribute(element, "AXRole");
    const auto subrole = ax::stringAttribute(element, "AXSubrole");
    return std::any_of(reader.list.begin(), reader.list.end(), [&](const Reader::Role& pattern) {
        return role == pattern.role && (!pattern.subrole || subrole == pattern.subrole);
    });
}

bool skips(const Reader& reader, const Element& element) {
    if (reader.skipClasses.empty()) {
        return false;
    }
    const std::vector<std::string> classes = classList(element);
    return std::any_of(classes.begin(), classes.end(), [&](const std::string& name) {
        return std::find(reader.skipClasses.begin(), reader.skipClasses.end(), name) !=
               reader.skipClasses.end();
    });
}

std::variant<Element, Missed> nearestList(const Reader& reader, const Element& start,
                                          Deadline deadline) {
    std::int64_t examined = 0;
    Element previous = start;
    std::optional<Element> current = parentOf(start);
    while (current) {
        if (!before(deadline)) {
            return Missed::timedOut;
        }
        if (isList(reader, *current)) {
            return *current;
        }
        std::vector<Element> queue;
        for (Element& child : ax::children(*current)) {
            if (!platform::same(child, previous)) {
                queue.push_back(std::move(child));
            }
        }
        for (std::size_t index = 0; index < queue.size(); ++index) {
            if (!before(deadline)) {
                return Missed::timedOut;
            }
            if (examined >= frame::listSearchNodeLimit) {
                return Missed::noList;
            }
            const Element node = queue[index];
            if (isList(reader, node)) {
                return node;
            }
            if (!skips(reader, node)) {
                std::vector<Element> below = ax::children(node);
                queue.insert(queue.end(), std::make_move_iterator(below.begin()),
                             std::make_move_iterator(below.end()));
            }
            ++examined;
        }
        previous = *current;
        current = parentOf(*current);
    }
    return Missed::noList;
}

std::vector<json> dumpTail(const Reader& reader, const Element& list, Deadline deadline) {
    const std::vector<Element> rows = ax::children(list);
    const auto wanted = static_cast<std::size_t>(std::max<std::int64_t>(reader.rows, 0));
    const std::size_t first = rows.size() > wanted ? rows.size() - wanted : 0;
    std::vector<json> nodes;
    for (std::size_t index = rows.size(); index > first; --index) {
        std::optional<json> node = dump(reader, rows[index - 1], reader.depth, deadline);
        if (!node) {
            break;
        }
        nodes.push_back(std::move(*node));
    }
    return nodes;
}

namespace {

// However deep the request asks: the reply must stay serialisable and the stack bounded, and no
// real conversation row nests this deep.
constexpr std::int64_t dumpLevelLimit = 256;

// path holds the element's ancestors within this dump, so that an application whose tree loops
// back on itself cannot make the dump go round for ever.
std::optional<json> dumpBelow(const Reader& reader, const Element& element, std::int64_t levels,
                              Deadline deadline, std::vector<Element>& path) {
    if (!before(deadline)) {
        return std::nullopt;
    }
    const std::string role = ax::stringAttribute(element, "AXRole").value_or("");
    json node = {{"role", role}};
    // A password field's text is never read. The subrole tells one too; it comes before the value
    // in the table and is read for the node anyway, so telling costs no call.
    bool secure = role == ax::secureRole;
    for (const auto& [key, attributeName] : nodeAttributes) {
        const std::string_view name = attributeName;
        if (secure && name == "AXValue") {
            continue;
        }
        std::optional<std::string> text = ax::stringAttribute(element, attributeName);
        secure = secure || (name == "AXSubrole" && text == ax::secureRole);
        if (text && !text->empty()) {
            node[key] = std::move(*text);
        }
    }
    if (std::vector<std::string> classes = classList(element); !classes.empty()) {
        node["classes"] = std::move(classes);
    }
    if (levels < 1) {
        return node;
    }
    path.push_back(element);
    json childNodes = json::array();
    for (const Element& child : ax::children(element)) {
        const bool loopsBack = std::any_of(path.begin(), path.end(), [&](const Element& above) {
            return platform::same(child, above);
        });
        if (loopsBack || skips(reader, child)) {
            continue;
        }
        std::optional<json> childNode = dumpBelow(reader, child, levels - 1, deadline, path);
        if (!childNode) {
            return std::nullopt;  // a row cut short is dropped whole
        }
        childNodes.push_back(std::move(*childNode));
    }
    path.pop_back();
    if (!childNodes.empty()) {
        node["children"] = std::move(childNodes);
    }
    return node;
}

}  // namespace

std::optional<json> dump(const Reader& reader, const Element& element, std::int64_t levels,
                         Deadline deadline) {
    std::vector<Element> path;
    return dumpBelow(reader, element, std::min(levels, dumpLevelLimit), deadline, path);
}

std::optional<std::string> findMe(const Reader& reader, const Element& root, Deadline deadline) {
    if (!reader.me) {
        return std::nullopt;
    }
    std::vector<Element> queue{root};
    for (std::size_t index = 0;
         index < queue.size() && static_cast<std::int64_t>(index) < frame::composerNodeLimit;
         ++index) {
        if (!before(deadline)) {
            return std::nullopt;
        }
        const Element node = queue[index];
        const std::vector<std::string> classes = classList(node);
        if (std::find(classes.begin(), classes.end(), reader.me->domClass) != classes.end() &&
            ax::stringAttribute(node, "AXRole") == reader.me->role) {
            // The first match decides, even with an empty label.
            std::string label = ax::accessibleLabel(node);
            return label.empty() ? std::nullopt : std::optional<std::string>(std::move(label));
        }
        std::vector<Element> below = ax::children(node);
        queue.insert(queue.end(), std::make_move_iterator(below.begin()),
                     std::make_move_iterator(below.end()));
    }
    return std::nullopt;
}

json dumpConversation(const ConversationRequest& request, const Reader& reader,
                      const ax::Focus& focus) {
    const Deadline deadline = ax::deadlineAfter(ax::Clock::now(), request.budgetMs);
    const auto t0 = ax::Clock::now();
    const std::variant<Element, Missed> found = nearestList(reader, focus.element, deadline);
    if (const auto* missed = std::get_if<Missed>(&found)) {
        return {{"missed", rawValue(*missed)}, {"ms", {{"list", ax::milliseconds(t0)}}}};
    }
    const Element& list = std::get<Element>(found);
    const double listMs = ax::milliseconds(t0);
    const auto t1 = ax::Clock::now();
    std::vector<json> rows = dumpTail(reader, list, deadline);
    const double dumpMs = ax::milliseconds(t1);
    if (rows.empty() && !before(deadline)) {
        return {{"missed", "timedOut"}, {"ms", {{"list", listMs}, {"dump", dumpMs}}}};
    }
    const auto t2 = ax::Clock::now();
    const std::optional<Element> window = ax::axElement(ax::attribute(focus.element, "AXWindow"));
    const std::optional<std::string> me = window ? findMe(reader, *window, deadline) : std::nullopt;
    json result;
    result["list"] = {{"description", ax::stringAttribute(list, "AXDescription").value_or("")}};
    result["focusLabel"] = ax::accessibleLabel(focus.element);
    result["rows"] = std::move(rows);
    result["me"] = me ? json(*me) : json(nullptr);
    result["ms"] = {{"list", listMs}, {"dump", dumpMs}, {"me", ax::milliseconds(t2)}};
    return result;
}

}  // namespace capture
