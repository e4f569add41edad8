// The capture command, step by step: trust, frontmost application, focus, composer and field
// text, reader and conversation, the input decision (the copy probe runs last), the reply.
#include "capture/capture.h"

#include "ax/fingerprint.h"
#include "ax/focus.h"
#include "ax/primitives.h"
#include "capture/conversation.h"
#include "capture/rect_json.h"
#include "clipboard/probe.h"
#include "clipboard/snapshot.h"
#include "composer/composer.h"
#include "frame/reply.h"
#include "frame/watchdog.h"
#include "platform/accessibility.h"
#include "platform/pasteboard.h"
#include "platform/workspace.h"
#include "text/clip.h"

namespace capture {

namespace {

using nlohmann::json;

struct Input {
    json map;
    std::optional<clipboard::Probe> probe;
};

json selection(const char* via, const std::string& text, std::int64_t maxChars) {
    const text::Clipped clipped = text::clip(text, maxChars);
    return {{"kind", "selection"},
            {"via", via},
            {"text", clipped.text},
            {"truncated", clipped.truncated}};
}

json none() {
    return {{"kind", "none"}};
}

// The focused field's text, when there is some; only an editable field can be replaceable, and
// only for one is the selection's settability asked.
json fieldRule(const std::optional<ax::Focus>& focus, const std::optional<std::string>& value,
               std::int64_t maxChars) {
    if (!value || value->empty()) {
        return none();
    }
    const text::Clipped clipped = text::clip(*value, maxChars);
    const bool replaceable =
        focus->editable && ax::isSettable(focus->element, "AXSelectedTextRange");
    return {{"kind", "field"},
            {"replaceable", replaceable},
            {"value", clipped.text},
            {"truncated", clipped.truncated}};
}

Input decideInput(const CaptureRequest& request, const std::optional<ax::Focus>& focus,
                  const std::optional<std::string>& value, const Reader* reader) {
    const bool trusts = reader != nullptr && reader->trustsAxSelection;
    const auto probe = [&]() -> Input {
        clipboard::Probe result = clipboard::Probe::run(request.probeTimeoutMs);
        if (result.text && !result.text->empty()) {
            return {selection("copy", *result.text, request.maxChars), std::move(result)};
        }
        json map = focus ? fieldRule(focus, value, request.maxChars) : none();
        return {std::move(map), std::move(result)};
    };
    if (!focus) {
        return request.probe ? probe() : Input{none(), std::nullopt};
    }
    if (focus->secure) {
        return {none(), std::nullopt};  // a password field is never read nor copied
    }
    if (const auto selected = focus->selectedText(); selected && !selected->empty()) {
        return {selection("ax", *selected, request.maxChars), std::nullopt};
    }
    // A reader that trusts the accessibility selection takes an empty one in an editable field
    // at its word; everywhere else the probe confirms it when the request allows.
    if (request.probe && !(trusts && focus->editable)) {
        return probe();
    }
    return {fieldRule(focus, value, request.maxChars), std::nullopt};
}

json appMap(const platform::RunningApplication& app) {
    return {{"bundleId", frame::orNull(platform::bundleIdentifier(app))},
            {"name", frame::orNull(platform::localizedName(app))},
            {"pid", platform::processIdentifier(app)}};
}

json focusMap(const ax::Focus& focus) {
    return {
        {"role", frame::orNull(focus.role)},
        {"editable", focus.editable},
        {"element", ax::fingerprint(focus.element)},
        {"anchor", focus.secure ? json(nullptr) : rectJSON(ax::selectionBounds(focus.element))}};
}

}  // namespace

void capture(const CaptureRequest& request) {
    frame::armDeadline(request.deadlineMs, clipboard::giveBackOnGiveUp);
    if (!platform::isProcessTrusted()) {
        frame::fail("notTrusted");
    }
    const std::optional<platform::Pid> pid = ax::focusedPid();
    const auto app = pid ? platform::runningApplicationWithProcessIdentifier(*pid) : std::nullopt;
    if (!app) {
        frame::fail("noFrontmostApp");
    }

    const std::optional<ax::Focus> focus = ax::focusOf(*pid);
    std::optional<composer::Composer> composer;
    std::optional<std::string> value;
    if (focus) {
        composer = composer::Composer::near(*focus, *pid);
        if (!focus->secure) {
            value = focus->value();
        }
    }

    const Reader* reader = nullptr;
    if (request.conversation) {
        if (const auto bundleId = platform::bundleIdentifier(*app)) {
            const auto found = request.conversation->readers.find(*bundleId);
            if (found != request.conversation->readers.end()) {
                reader = &found->second;
            }
        }
    }
    json conversation = nullptr;
    if (request.conversation && reader != nullptr && focus && !focus->secure) {
        conversation = dumpConversation(*request.conversation, *reader, *focus);
    }

    Input input = decideInput(request, focus, value, reader);

    json replyObject;
    replyObject["ok"] = true;
    replyObject["app"] = appMap(*app);
    replyObject["focus"] = focus ? focusMap(*focus) : json(nullptr);
    replyObject["input"] = std::move(input.map);
    replyObject["field"] = value ? json(text::clip(*value, request.maxChars).text) : json(nullptr);
    replyObject["composer"] = composer ? json{{"element", ax::fingerprint(composer->element)},
                                              {"label", composer->label()}}
                                       : json(nullptr);
    replyObject["probe"] = input.probe.value_or(clipboard::Probe{}).json();
    replyObject["conversation"] = std::move(conversation);
    frame::holdExitLock();
    // A probe whose copy came too late left the snapshot parked: a copy that has landed by now
    // is undone before the answer, since after it nothing could.
    if (const auto restored = clipboard::restoreParked(platform::generalPasteboard(), false)) {
        replyObject["probe"]["restored"] = *restored;
    }
    frame::emit(replyObject);
}

}  // namespace capture
