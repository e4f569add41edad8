// Reading the timeline: each event's trigger and its one action, and the references to
// applications and elements that are checked once the whole file is read.
#include "platform/sim/loader.h"

namespace platform::sim::loading {

void Loader::readTimelineEvent(Value& value, std::size_t position) {
    // The keys from "pasteboard" on are the actions, of which an event has one.
    enum class Key { atMs, after, delayMs, pasteboard, focus, frontmost, set, signal };
    static constexpr Names<8> names = {"atMs",  "after",     "delayMs", "pasteboard",
                                       "focus", "frontmost", "set",     "signal"};
    TimelineEvent event;
    TimelineRefs refs;
    refs.event = position;
    int actions = 0;
    const auto seen =
        readMembers<Key>(value, "an event object", names, [&](Key key, Value& member) {
            if (key >= Key::pasteboard) {
                ++actions;
            }
            switch (key) {
                case Key::atMs:
                    event.atMs = readMs(member);
                    break;
                case Key::after: {
                    static constexpr Names<4> triggers = {"commandC", "commandV", "activation",
                                                          "pasteboardWrite"};
                    event.after = static_cast<Trigger>(readName(member, "trigger", triggers));
                    break;
                }
                case Key::delayMs:
                    event.delayMs = readMs(member);
                    break;
                case Key::pasteboard: {
                    PasteboardAction action;
                    enum class Write { items };
                    static constexpr Names<1> writeNames = {"items"};
                    const auto given = readMembers<Write>(
                        member, "an object with \"items\"", writeNames,
                        [&](Write, Value& items) { action.items = readItems(items); });
                    if (!given.has(Write::items)) {
                        fail("a pasteboard write needs \"items\"");
                    }
                    event.action = std::move(action);
                    break;
                }
                case Key::focus:
                case Key::set: {
                    const bool focus = key == Key::focus;
                    enum class Target { pid, element, attributes };
                    static constexpr Names<3> targetNames = {"pid", "element", "attributes"};
                    Pid pid = 0;
                    std::vector<Attribute> attributes;
                    refs.where = where();
                    const auto given = readMembers<Target>(
                        member, "an object", targetNames, [&](Target part, Value& target) {
                            switch (part) {
                                case Target::pid:
                                    pid = readPid(target);
                                    break;
                                case Target::element:
                                    refs.element =
                                        focus ? readStringOrNull(target) : readString(target);
                                    break;
                                case Target::attributes:
                                    // A focus change shares the set's target but changes no
                                    // attributes.
                                    if (focus) {
                                        skip(target);
                                        break;
                                    }
                                    eachMember(
                                        target, "an object of attributes",
                                        [&](std::string_view attribute, Value& attributeValue) {
                                            SimValue read;
                                            {
                                                Step valueStep(*this, attribute);
                                                read = readValue(attributeValue, true, refs.refs);
                                            }
                                            attributes.emplace_back(std::string(attribute),
                                                                    std::move(read));
                                        });
                                    break;
                            }
                        });
                    if (!given.has(Target::pid) || !given.has(Target::element) ||
                        (!focus && !given.has(Target::attributes))) {
                        fail(focus ? "a focus change needs \"pid\" and \"element\""
                                   : "a set needs \"pid\", \"element\" and \"attributes\"");
                    }
                    if (focus) {
                        event.action = FocusAction{pid, std::nullopt};
                    } else {
                        event.action = SetAction{pid, 0, std::move(attributes)};
                    }
                    break;
                }
                case Key::frontmost:
                    if (isNull(member)) {
                        event.action = FrontmostAction{std::nullopt};
                    } else {
                        event.action = FrontmostAction{readPid(member)};
                    }
                    break;
                case Key::signal:
                    if (readText(member) != "TERM") {
                        fail("the only signal is \"TERM\"");
                    }
                    event.action = SignalAction{};
                    break;
            }
        });
    if (seen.has(Key::atMs) == seen.has(Key::after)) {
        fail("an event needs exactly one of \"atMs\" and \"after\"");
    }
    if (seen.has(Key::atMs) && seen.has(Key::delayMs)) {
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

}  // namespace platform::sim::loading
