// Reading an application: its element tree into the element table, its reactions, and the
// references between its elements.
#include <algorithm>

#include "platform/sim/loader.h"

namespace platform::sim::loading {

void Loader::readApp(Value& value) {
    enum class Key {
        pid,
        bundleId,
        name,
        terminated,
        focused,
        focusDelayMs,
        focusedWindow,
        activation,
        copy,
        paste,
        root,
        treeOnRequest,
        primarySelection
    };
    static constexpr Names<13> names = {"pid",
                                        "bundleId",
                                        "name",
                                        "terminated",
                                        "focused",
                                        "focusDelayMs",
                                        "focusedWindow",
                                        "activation",
                                        "copy",
                                        "paste",
                                        "root",
                                        "treeOnRequest",
                                        "primarySelection"};
    App app;
    IdMap ids;
    std::vector<PendingRef> refs;
    std::optional<std::string> focused;
    std::string focusedWhere;
    std::optional<std::string> focusedWindow;
    std::string focusedWindowWhere;
    const auto seen = readMembers<Key>(value, "an app object", names, [&](Key key, Value& member) {
        switch (key) {
            case Key::pid:
                app.pid = readPid(member);
                break;
            case Key::bundleId:
                app.bundleId = readStringOrNull(member);
                break;
            case Key::name:
                app.name = readStringOrNull(member);
                break;
            case Key::terminated:
                app.terminated = readBool(member);
                break;
            case Key::focused:
                focused = readStringOrNull(member);
                focusedWhere = where();
                break;
            case Key::focusDelayMs:
                app.focusDelayMs = readMs(member);
                break;
            case Key::focusedWindow:
                focusedWindow = readStringOrNull(member);
                focusedWindowWhere = where();
                break;
            case Key::activation:
                app.activation = readActivation(member);
                break;
            case Key::copy:
                app.copy = readCopy(member);
                break;
            case Key::paste:
                app.paste = readPaste(member);
                break;
            case Key::treeOnRequest:
                app.treeOnRequest = readBool(member);
                break;
            case Key::primarySelection:
                app.primarySelection = App::Primary{readStringOrNull(member)};
                break;
            case Key::root:
                app.nodes.reserve(elementsLeft);
                readElement(member, app, noElement, ids, refs);
                elementsLeft -= std::min(elementsLeft, app.nodes.size());
                if (app.nodes.capacity() > 2 * app.nodes.size() + 64) {
                    app.nodes.shrink_to_fit();
                }
                break;
        }
    });
    if (!seen.has(Key::pid)) {
        fail("an app needs a \"pid\"");
    }
    if (!seen.has(Key::root)) {
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

std::int32_t Loader::readElement(Value& value, App& app, std::int32_t parent, IdMap& ids,
                                 std::vector<PendingRef>& refs) {
    enum class Key {
        id,
        attributes,
        settable,
        boundsForRange,
        selectionReadBack,
        latencyMs,
        children
    };
    static constexpr Names<7> names = {
        "id",        "attributes", "settable", "boundsForRange", "selectionReadBack",
        "latencyMs", "children"};
    const auto index = static_cast<std::int32_t>(app.nodes.size());
    if (app.nodes.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        fail("too many elements");
    }
    app.nodes.emplace_back();
    app.nodes[static_cast<std::size_t>(index)].parent = parent;
    const auto node = [&]() -> Node& { return app.nodes[static_cast<std::size_t>(index)]; };
    const auto seen =
        readMembers<Key>(value, "an element object", names, [&](Key key, Value& member) {
            switch (key) {
                case Key::id: {
                    node().id = readString(member);
                    if (!ids.insert(app.nodes, index)) {
                        fail("element id " + inQuotes(node().id) + " is repeated in this app");
                    }
                    break;
                }
                case Key::attributes: {
                    // Reading a value touches no element table, so the references stay good.
                    Node& target = node();
                    target.attributes.reserve(4);
                    eachMember(member, "an object of attributes",
                               [&](std::string_view name, Value& attributeValue) {
                                   if (target.find(name) != nullptr) {
                                       fail("attribute " + inQuotes(name) + " is given twice");
                                   }
                                   Attribute& attribute = target.attributes.emplace_back(
                                       std::string(name), SimValue{});
                                   Step inner(*this, name);
                                   attribute.second = readValue(attributeValue, true, refs);
                               });
                    break;
                }
                case Key::settable:
                    eachElement(member, "a list of attribute names", [&](std::size_t, Value& name) {
                        node().settable.push_back(readString(name));
                    });
                    break;
                case Key::boundsForRange:
                    node().boundsForRange = readValue(member, true, refs);
                    break;
                case Key::selectionReadBack:
                    node().selectionReadBack = readRange(member);
                    break;
                case Key::latencyMs:
                    node().latencyMs = readMs(member);
                    break;
                case Key::children:
                    eachElement(member, "a list of elements", [&](std::size_t, Value& element) {
                        const std::int32_t child = readElement(element, app, index, ids, refs);
                        node().children.push_back(child);
                    });
                    break;
            }
        });
    if (!seen.has(Key::id)) {
        fail("an element needs an \"id\"");
    }
    return index;
}

std::optional<ActivationReaction> Loader::readActivation(Value& value) {
    if (isNull(value)) {
        return std::nullopt;
    }
    ActivationReaction reaction;
    enum class Key { delayMs, refuses };
    static constexpr Names<2> names = {"delayMs", "refuses"};
    static constexpr Names<2> kinds = {"fromApplication", "withOptions"};
    readMembers<Key>(value, "an object or null", names, [&](Key key, Value& member) {
        if (key == Key::delayMs) {
            reaction.delayMs = readMs(member);
            return;
        }
        eachElement(member, "a list of activation kinds", [&](std::size_t, Value& kind) {
            (readName(kind, "activation kind", kinds) == 0 ? reaction.refusesFromApplication
                                                           : reaction.refusesWithOptions) = true;
        });
    });
    return reaction;
}

std::optional<CopyReaction> Loader::readCopy(Value& value) {
    if (isNull(value)) {
        return std::nullopt;
    }
    CopyReaction reaction;
    enum class Key { delayMs, text, items };
    static constexpr Names<3> names = {"delayMs", "text", "items"};
    readMembers<Key>(value, "an object or null", names, [&](Key key, Value& member) {
        switch (key) {
            case Key::delayMs:
                reaction.delayMs = readMs(member);
                break;
            case Key::text:
                reaction.text = readString(member);
                break;
            case Key::items:
                reaction.items = readItems(member);
                break;
        }
    });
    return reaction;
}

std::optional<PasteReaction> Loader::readPaste(Value& value) {
    if (isNull(value)) {
        return std::nullopt;
    }
    PasteReaction reaction;
    enum class Key { delayMs, transform };
    static constexpr Names<2> names = {"delayMs", "transform"};
    readMembers<Key>(value, "an object or null", names, [&](Key key, Value& member) {
        if (key == Key::delayMs) {
            reaction.delayMs = readMs(member);
            return;
        }
        static constexpr Names<5> transforms = {"none", "newlinesToSpaces", "trim", "upper", "nfd"};
        reaction.transform = static_cast<Transform>(readName(member, "transform", transforms));
    });
    return reaction;
}

}  // namespace platform::sim::loading
