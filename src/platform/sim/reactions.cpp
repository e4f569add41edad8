// What the other applications and the timeline do on the desktop's own thread: copy, paste,
// come to the front, and the scripted events.
#include <utility>

#include "platform/pasteboard.h"
#include "platform/sim/board.h"
#include "platform/sim/elements.h"
#include "platform/sim/live.h"
#include "platform/sim/transforms.h"
#include "text/utf16.h"

namespace platform::sim {

namespace {

App* liveApp(Live& live, Pid pid) {
    App* app = live.desktop.app(pid);
    return app && !app->terminated ? app : nullptr;
}

void copy(Live& live, Pid pid) {
    App* app = liveApp(live, pid);
    if (!app || !app->copy) {
        return;
    }
    const Node* focused =
        app->focused ? &app->nodes[static_cast<std::size_t>(*app->focused)] : nullptr;
    if (focused && isSecure(*focused)) {
        return;
    }
    if (app->copy->items) {
        clearBoard(live, By::app);
        writeBoard(live, *app->copy->items, By::app);
        return;
    }
    std::optional<std::string> text = app->copy->text;
    if (!text && focused) {
        text = selectedText(*focused);
    }
    if (!text || text->empty()) {
        return;
    }
    clearBoard(live, By::app);
    setBoardString(live, *text, plainTextType, By::app);
}

void paste(Live& live, Pid pid) {
    App* app = liveApp(live, pid);
    if (!app || !app->paste || !app->focused) {
        return;
    }
    Node& node = app->nodes[static_cast<std::size_t>(*app->focused)];
    if (!node.isSettable("AXValue")) {
        return;
    }
    auto pasted = boardString(live, plainTextType, By::app);
    if (!pasted) {
        return;
    }
    std::string text = applyTransform(app->paste->transform, std::move(*pasted));
    const std::string* stored = node.string("AXValue");
    const std::string_view value = stored ? std::string_view(*stored) : std::string_view();
    const std::int64_t length = text::utf16Length(value);
    Range range{length, 0};
    if (const SimValue* selection = node.find("AXSelectedTextRange")) {
        if (const auto* r = std::get_if<Range>(&selection->data)) {
            range = clampRange(*r, length);
        }
    }
    const std::size_t begin = text::byteOffset(value, range.location);
    const std::size_t end = text::byteOffset(value, range.location + range.length);
    const std::int64_t caret = range.location + text::utf16Length(text);
    // Built in one piece, or not at all where the text replaces everything: pasted texts may be
    // many megabytes.
    std::string result;
    if (begin == 0 && end == value.size()) {
        result = std::move(text);
    } else {
        result.reserve(begin + text.size() + (value.size() - end));
        result.append(value.substr(0, begin)).append(text).append(value.substr(end));
    }
    node.store("AXValue", SimValue{std::move(result)});
    node.store("AXSelectedTextRange", SimValue{Range{caret, 0}});
}

void bringToFront(Desktop& desktop, std::optional<Pid> pid) {
    desktop.frontmost = pid;
    if (desktop.focusedApplication.kind != FocusedApplication::Kind::fail) {
        desktop.focusedApplication = {FocusedApplication::Kind::followsFrontmost, 0};
    }
}

bool timeline(Live& live, std::size_t index) {
    if (index >= live.desktop.timeline.size()) {
        return false;
    }
    TimelineEvent& event = live.desktop.timeline[index];
    if (event.fired) {
        return false;
    }
    event.fired = true;
    return std::visit(
        [&](const auto& action) {
            using T = std::decay_t<decltype(action)>;
            if constexpr (std::is_same_v<T, PasteboardAction>) {
                clearBoard(live, By::timeline);
                writeBoard(live, action.items, By::timeline);
            } else if constexpr (std::is_same_v<T, FocusAction>) {
                if (App* app = live.desktop.app(action.pid)) {
                    app->focused = action.element;
                }
            } else if constexpr (std::is_same_v<T, FrontmostAction>) {
                bringToFront(live.desktop, action.pid);
            } else if constexpr (std::is_same_v<T, SetAction>) {
                if (App* app = live.desktop.app(action.pid)) {
                    Node& node = app->nodes[static_cast<std::size_t>(action.element)];
                    for (const auto& [name, value] : action.attributes) {
                        node.store(name, value);
                    }
                }
            } else {
                return true;
            }
            return false;
        },
        event.action);
}

void record(Live& live, const Task& task, ReactionKind kind) {
    live.log.reactions.push_back({task.pid, kind, task.dueMs, live.afterExit()});
}

}  // namespace

bool requestActivation(Live& live, ActivationRecord request) {
    const Pid pid = request.pid;
    const ActivationVia via = request.via;
    request.atMs = live.elapsedMs();
    live.log.activations.push_back(std::move(request));
    live.helperDid(Trigger::activation);
    const App* app = liveApp(live, pid);
    if (app == nullptr) {
        return false;
    }
    const bool refused =
        app->activation &&
        ((via == ActivationVia::fromApplication && app->activation->refusesFromApplication) ||
         (via == ActivationVia::withOptions && app->activation->refusesWithOptions));
    if (app->activation && !refused) {
        live.schedule(app->activation->delayMs, Task{Task::Kind::activation, pid, 0});
    }
    return true;
}

bool perform(Live& live, const Task& task) {
    switch (task.kind) {
        case Task::Kind::copy:
            record(live, task, ReactionKind::copy);
            copy(live, task.pid);
            return false;
        case Task::Kind::paste:
            record(live, task, ReactionKind::paste);
            paste(live, task.pid);
            return false;
        case Task::Kind::activation:
            record(live, task, ReactionKind::activation);
            if (liveApp(live, task.pid)) {
                bringToFront(live.desktop, task.pid);
            }
            return false;
        case Task::Kind::timeline:
            return timeline(live, task.event);
    }
    return false;
}

}  // namespace platform::sim
