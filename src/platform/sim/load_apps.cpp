// Reading an application: its element tree into the element table, its reactions, and the
// references between its elements.
#include <algorithm>

#include "platform/sim/concat.h"
#include "platform/sim/loader.h"

namespace platform::sim::loading {

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
        fail(concat({"pid ", std::to_string(app.pid), " is named twice"}));
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
                    fail(concat({"element id ", quoted(node().id), " is repeated in this app"}));
                }
                break;
            }
            case 1:
                node().attributes.reserve(4);
                eachMember("an object of attributes", [&](std::string_view name) {
                    if (node().find(name) != nullptr) {
                        fail(concat({"attribute ", quoted(name), " is given twice"}));
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
            fail(concat({"unknown transform ", quoted(name),
                         " (none, newlinesToSpaces, trim, upper, nfd)"}));
        }
        reaction.transform = static_cast<Transform>(t);
    });
    return reaction;
}

}  // namespace platform::sim::loading
