// Reading the timeline: each event's trigger and its one action, and the references to
// applications and elements that are checked once the whole file is read.
#include "platform/sim/concat.h"
#include "platform/sim/loader.h"

namespace platform::sim::loading {

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
                    fail(concat({"unknown trigger ", quoted(name),
                                 " (commandC, commandV, activation, pasteboardWrite)"}));
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
            failAt(refs.where, concat({"pid ", std::to_string(pid), " is not on the desktop"}));
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

}  // namespace platform::sim::loading
