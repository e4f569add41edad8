// Aiming at a composer or at the focused element.
#include "insert/targeting.h"

#include <cmath>
#include <limits>

#include "ax/fingerprint.h"
#include "ax/poll.h"
#include "ax/primitives.h"
#include "composer/composer.h"
#include "frame/decode.h"
#include "frame/reply.h"
#include "frame/tunables.h"
#include "platform/core_foundation.h"
#include "text/utf16.h"
#include "text/white_space.h"

namespace insert {

namespace {

using platform::Element;

[[noreturn]] void selectionUnsettable() {
    frame::fail("selectionUnsettable");
}

// "AXNumberOfCharacters" as an integer, for fields whose text cannot be read.
std::optional<std::int64_t> numberOfCharacters(const Element& element) {
    const platform::AttributeRead read =
        platform::copyAttributeValue(element, "AXNumberOfCharacters");
    if (read.error != platform::AXError::success || !read.value) {
        return std::nullopt;
    }
    const auto* number = std::get_if<platform::Number>(&read.value->data);
    if (number == nullptr) {
        return std::nullopt;
    }
    if (const auto* integer = std::get_if<std::int64_t>(&number->value)) {
        return *integer;
    }
    const double real = std::get<double>(number->value);
    if (std::trunc(real) != real || std::fabs(real) >= 9.2e18) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(real);
}

Aim aimAtComposer(const std::string& fingerprint, std::string text, platform::Pid pid) {
    ax::requestTree(ax::applicationElement(pid));
    const std::optional<composer::Composer> found = composer::Composer::find(fingerprint, pid);
    if (!found) {
        frame::fail("focusChanged", "no composer matches " + frame::excerpt(fingerprint));
    }
    const Element element = found->element;
    platform::setAttributeValue(element, "AXFocused", platform::Value{true});
    const Element app = ax::applicationElement(pid);
    const bool focused = ax::poll(frame::focusTimeoutMs, [&] {
        const auto current = ax::axElement(ax::attribute(app, "AXFocusedUIElement"));
        return current && platform::same(*current, element);
    });
    if (!focused) {
        frame::fail("focusChanged", "the composer did not take focus");
    }
    const std::string value = found->value().value_or("");
    if (!text::isBlank(value)) {
        const platform::Range end{text::utf16Length(value), 0};
        // Some fields accept the set and report another range: set again at every check.
        const bool placed = ax::poll(frame::focusTimeoutMs, [&] {
            ax::setSelectedRange(element, end);
            return ax::selectedRange(element) == end;
        });
        if (!placed) {
            selectionUnsettable();
        }
    }
    return Aim{onNewLine(std::move(text), value),
               ReadBack([element] { return ax::stringAttribute(element, "AXValue"); })};
}

Aim aimAtFocus(const Into::Focus& target, std::string text, platform::Pid pid) {
    const std::optional<ax::Focus> focus = ax::focusOf(pid);
    if (!focus) {
        if (target.element) {
            frame::fail("focusChanged",
                        "expected " + frame::excerpt(*target.element) + ", found no element");
        }
        if (!placeCaret(std::nullopt, target.mode)) {
            selectionUnsettable();
        }
        return Aim{std::move(text), std::nullopt};  // pasted blind
    }
    if (focus->secure) {
        frame::fail("focusChanged", "a password field has focus");
    }
    if (target.element) {
        const std::string found = ax::fingerprint(focus->element);
        if (found != *target.element) {
            frame::fail("focusChanged",
                        "expected " + frame::excerpt(*target.element) + ", found " + found);
        }
    }
    if (!placeCaret(focus, target.mode)) {
        selectionUnsettable();
    }
    return Aim{std::move(text), ReadBack([snapshot = *focus] { return snapshot.value(); })};
}

}  // namespace

Activation activate(const platform::RunningApplication& target) {
    const platform::Pid pid = platform::processIdentifier(target);
    const std::optional<platform::Pid> focused = ax::focusedPid();
    if (focused && *focused == pid) {
        return Activation::notNeeded;
    }
    const auto cameToFront = [&](bool asked) {
        return asked && ax::poll(frame::focusTimeoutMs, [&] {
                   return ax::focusedApplicationPid() == std::optional<platform::Pid>(pid);
               });
    };
    const bool cooperative = platform::isOperatingSystemAtLeast(14, 0, 0);
    if (cooperative) {
        if (const auto front = platform::frontmostApplication();
            front && cameToFront(platform::activateFromApplication(target, *front, 0))) {
            return Activation::done;
        }
    }
    const std::uint64_t options = cooperative ? 0 : platform::activateIgnoringOtherApps;
    if (cameToFront(platform::activateWithOptions(target, options))) {
        return Activation::done;
    }
    const bool set =
        platform::setAttributeValue(ax::applicationElement(pid), "AXFrontmost",
                                    platform::Value{true}) == platform::AXError::success;
    return cameToFront(set) ? Activation::done : Activation::refused;
}

Aim aim(const Into& into, std::string text, platform::Pid pid) {
    if (const auto* composer = std::get_if<Into::Composer>(&into.target)) {
        return aimAtComposer(composer->element, std::move(text), pid);
    }
    return aimAtFocus(std::get<Into::Focus>(into.target), std::move(text), pid);
}

bool placeCaret(const std::optional<ax::Focus>& focus, InsertMode mode) {
    if (mode == InsertMode::replaceSelection) {
        return true;
    }
    if (!focus) {
        return false;
    }
    if (mode == InsertMode::replaceField) {
        // A password field's value is not read, not even for its length.
        const std::optional<std::string> value =
            focus->secure ? std::nullopt : ax::stringAttribute(focus->element, "AXValue");
        const std::optional<std::int64_t> length =
            value ? std::optional<std::int64_t>(text::utf16Length(*value))
                  : numberOfCharacters(focus->element);
        return length && ax::setSelectedRange(focus->element, platform::Range{0, *length});
    }
    const std::optional<platform::Range> selection = ax::selectedRange(focus->element);
    if (!selection) {
        return false;
    }
    // Only a misbehaving application reports a selection whose end does not fit.
    if ((selection->length > 0 &&
         selection->location > std::numeric_limits<std::int64_t>::max() - selection->length) ||
        (selection->length < 0 &&
         selection->location < std::numeric_limits<std::int64_t>::min() - selection->length)) {
        return false;
    }
    return ax::setSelectedRange(focus->element,
                                platform::Range{selection->location + selection->length, 0});
}

std::string onNewLine(std::string text, const std::string& after) {
    if (!text::isBlank(after) && !text::endsWithNewline(after)) {
        text.insert(0, 1, '\n');
    }
    return text;
}

}  // namespace insert
