// The accessibility interface over AT-SPI: each AX attribute the core reads is answered from
// one or a few bus calls on the element, with the element's own messaging time-out on each.
#include "platform/accessibility.h"

#include <algorithm>
#include <atspi/atspi-constants.h>
#include <cmath>
#include <functional>
#include <limits>
#include <map>

#include "display.h"
#include "front.h"
#include "node.h"
#include "registry.h"
#include "roles.h"
#include "search.h"
#include "text.h"
#include "text/scalars.h"

namespace platform {

namespace {

using atspi::Got;
using atspi::Ref;
using atspi::Target;
using Kind = ElementObject::Kind;

AttributeRead failed(AXError error) {
    return {error, std::nullopt};
}

AttributeRead of(Value value) {
    return {AXError::success, std::move(value)};
}

Element wrap(const Ref& ref) {
    return Element{std::make_shared<ElementObject>(Kind::accessible, ref, 0)};
}

template <class T>
AttributeRead fromGot(const Got<T>& got, const std::function<Value(const T&)>& convert) {
    return got.ok() ? of(convert(*got.value)) : failed(got.error);
}

// Absent and empty are the same on the bus; AX leaves an attribute with nothing in it out.
AttributeRead nonEmpty(const Got<std::string>& got) {
    if (!got.ok()) {
        return failed(got.error);
    }
    return got.value->empty() ? failed(AXError::noValue) : of(Value{*got.value});
}

struct Subject {
    ElementObject& element;
    Target at;
};

Got<std::uint32_t> roleOf(Subject& s) {
    return atspi::role(s.element, s.at);
}

bool isPassword(Subject& s) {
    const auto role = roleOf(s);
    // An object whose role cannot be told is treated as a password field: its text stays unread.
    return !role.ok() || *role.value == ATSPI_ROLE_PASSWORD_TEXT;
}

Got<atspi::AxRole> axRoleOf(Subject& s) {
    const auto role = roleOf(s);
    if (!role.ok()) {
        return Got<atspi::AxRole>::failed(role.error);
    }
    if (!atspi::statesTellTheRole(*role.value)) {
        return Got<atspi::AxRole>::of(atspi::axRole(*role.value, {}));
    }
    const auto state = atspi::states(s.at);
    if (!state.ok()) {
        return Got<atspi::AxRole>::failed(state.error);
    }
    return Got<atspi::AxRole>::of(atspi::axRole(*role.value, *state.value));
}

bool isStaticText(std::uint32_t role) {
    return role == ATSPI_ROLE_LABEL || role == ATSPI_ROLE_STATIC || role == ATSPI_ROLE_CAPTION;
}

// Controls whose text is their label: on a Mac a button has a title and no value, and its label
// is no field to read or to anchor a caret in.
bool textIsLabel(std::uint32_t role) {
    switch (role) {
        case ATSPI_ROLE_PUSH_BUTTON:
        case ATSPI_ROLE_TOGGLE_BUTTON:
        case ATSPI_ROLE_CHECK_BOX:
        case ATSPI_ROLE_RADIO_BUTTON:
        case ATSPI_ROLE_MENU_ITEM:
        case ATSPI_ROLE_CHECK_MENU_ITEM:
        case ATSPI_ROLE_RADIO_MENU_ITEM:
        case ATSPI_ROLE_PAGE_TAB:
            return true;
        default:
            return false;
    }
}

AXError textSupport(Subject& s) {
    const AXError text = atspi::support(s.element, s.at, atspi::textInterface);
    if (text != AXError::success) {
        return text;
    }
    const auto role = roleOf(s);
    return role.ok() && textIsLabel(*role.value) ? AXError::attributeUnsupported : text;
}

// Containers take an aria-label as their description on a Mac; AT-SPI puts it in the name, which
// for them is no title.
bool nameIsDescription(const std::string& axRole) {
    return axRole == "AXList" || axRole == "AXTable" || axRole == "AXOutline" ||
           axRole == "AXGroup" || axRole == "AXWebArea";
}

// The text attributes: a password field answers none that would hand out its characters.
AXError textToRead(Subject& s) {
    const AXError text = textSupport(s);
    if (text != AXError::success) {
        return text;
    }
    return isPassword(s) ? AXError::noValue : AXError::success;
}

atspi::TextSubject textOf(Subject& s) {
    return atspi::TextSubject{s.element, s.at, isPassword(s)};
}

AttributeRead textValue(Subject& s) {
    if (const AXError readable = textToRead(s); readable != AXError::success) {
        return failed(readable);
    }
    atspi::TextSubject text = textOf(s);
    const auto whole = atspi::wholeText(text);
    return whole.ok() ? of(Value{*whole.value}) : failed(whole.error);
}

Got<std::pair<std::int32_t, std::int32_t>> selectionOrCaret(const Target& at) {
    using Result = Got<std::pair<std::int32_t, std::int32_t>>;
    const auto selected = atspi::selection(at);
    if (!selected.ok()) {
        return Result::failed(selected.error);
    }
    if (*selected.value) {
        return Result::of(**selected.value);
    }
    const auto caret = atspi::caret(at);
    if (!caret.ok()) {
        return Result::failed(caret.error);
    }
    const std::int32_t offset = std::max(*caret.value, 0);
    return Result::of(std::pair{offset, offset});
}

AttributeRead selectedText(Subject& s) {
    if (const AXError readable = textToRead(s); readable != AXError::success) {
        return failed(readable);
    }
    const auto selected = atspi::selection(s.at);
    if (!selected.ok()) {
        return failed(selected.error);
    }
    if (!*selected.value) {
        return of(Value{std::string()});
    }
    const auto [start, end] = **selected.value;
    const auto part = atspi::textBetweenOffsets(s.at, start, end);
    return part.ok() ? of(Value{*part.value}) : failed(part.error);
}

AttributeRead selectedRange(Subject& s) {
    if (const AXError text = textSupport(s); text != AXError::success) {
        return failed(text);
    }
    const auto scalars = selectionOrCaret(s.at);
    if (!scalars.ok()) {
        return failed(scalars.error);
    }
    atspi::TextSubject text = textOf(s);
    const auto units = atspi::utf16Range(text, scalars.value->first, scalars.value->second);
    return fromGot<Range>(units, [](const Range& r) { return Value{Wrapped{r}}; });
}

AttributeRead numberOfCharacters(Subject& s) {
    if (const AXError text = textSupport(s); text != AXError::success) {
        return failed(text);
    }
    atspi::TextSubject text = textOf(s);
    const auto length = atspi::utf16Length(text);
    return length.ok() ? of(Value{Number{*length.value}}) : failed(length.error);
}

AttributeRead role(Subject& s) {
    const auto role = axRoleOf(s);
    return role.ok() ? of(Value{role.value->role}) : failed(role.error);
}

AttributeRead subrole(Subject& s) {
    const auto role = axRoleOf(s);
    if (!role.ok()) {
        return failed(role.error);
    }
    return role.value->subrole ? of(Value{*role.value->subrole}) : failed(AXError::noValue);
}

AttributeRead title(Subject& s) {
    const auto role = roleOf(s);
    if (!role.ok()) {
        return failed(role.error);
    }
    // A label's name is its text, which AX gives as the value, not as a title; a container's
    // is its description.
    if (isStaticText(*role.value)) {
        return failed(AXError::noValue);
    }
    if (const auto ax = axRoleOf(s); ax.ok() && nameIsDescription(ax.value->role)) {
        return failed(AXError::noValue);
    }
    AttributeRead own = nonEmpty(atspi::stringProperty(s.at, atspi::accessibleInterface, "Name"));
    if (own.error != AXError::noValue) {
        return own;
    }
    // A field without a name of its own is named by the label the toolkit relates to it (GTK's
    // mnemonic labels), as AX names a field by its title element.
    const atspi::Reply reply =
        atspi::call(s.at.ref, atspi::accessibleInterface, "GetRelationSet", {}, s.at.timeoutMs);
    const auto relations = atspi::readRelations(reply);
    if (!relations) {
        return own;
    }
    for (const auto& [type, targets] : *relations) {
        if (type != ATSPI_RELATION_LABELLED_BY) {
            continue;
        }
        for (const Ref& label : targets) {
            AttributeRead named = nonEmpty(atspi::stringProperty(
                atspi::Target{label, s.at.timeoutMs}, atspi::accessibleInterface, "Name"));
            if (named.error == AXError::success) {
                return named;
            }
        }
    }
    return own;
}

AttributeRead description(Subject& s) {
    AttributeRead own =
        nonEmpty(atspi::stringProperty(s.at, atspi::accessibleInterface, "Description"));
    if (own.error != AXError::noValue) {
        return own;
    }
    const auto ax = axRoleOf(s);
    if (!ax.ok() || !nameIsDescription(ax.value->role)) {
        return own;
    }
    return nonEmpty(atspi::stringProperty(s.at, atspi::accessibleInterface, "Name"));
}

AttributeRead placeholder(Subject& s) {
    const auto got = atspi::attribute(s.at, "placeholder-text");
    if (!got.ok()) {
        return failed(got.error);
    }
    return *got.value && !(*got.value)->empty() ? of(Value{**got.value}) : failed(AXError::noValue);
}

AttributeRead position(Subject& s) {
    return fromGot<Rect>(atspi::extents(s.at),
                         [](const Rect& r) { return Value{Wrapped{r.origin}}; });
}

AttributeRead size(Subject& s) {
    return fromGot<Rect>(atspi::extents(s.at),
                         [](const Rect& r) { return Value{Wrapped{r.size}}; });
}

AttributeRead parentOf(Subject& s) {
    const auto up = atspi::parent(s.at);
    if (!up.ok()) {
        return failed(up.error);
    }
    return *up.value ? of(Value{wrap(**up.value)}) : failed(AXError::noValue);
}

AttributeRead childrenOf(Subject& s) {
    const auto below = atspi::children(s.at);
    if (!below.ok()) {
        return failed(below.error);
    }
    ValueList list;
    list.reserve(below.value->size());
    for (const Ref& child : *below.value) {
        list.push_back(Value{wrap(child)});
    }
    return of(Value{std::move(list)});
}

AttributeRead focused(Subject& s) {
    return fromGot<atspi::States>(atspi::states(s.at), [](const atspi::States& states) {
        return Value{atspi::has(states, ATSPI_STATE_FOCUSED)};
    });
}

AttributeRead asElement(const Got<Ref>& got) {
    return got.ok() ? of(Value{wrap(*got.value)}) : failed(got.error);
}

// The root of the application that owns the object: its bus name's registry entry.
Target rootOf(const Target& at) {
    return Target{Ref{at.ref.bus, atspi::rootPath}, at.timeoutMs};
}

AttributeRead focusedElement(Subject& s) {
    return asElement(atspi::focusedObject(rootOf(s.at)));
}

AttributeRead focusedWindow(Subject& s) {
    return asElement(atspi::activeWindow(rootOf(s.at)));
}

AttributeRead window(Subject& s) {
    return asElement(atspi::windowOf(s.at));
}

using Reader = AttributeRead (*)(Subject&);

const std::map<std::string, Reader, std::less<>>& readers() {
    static const std::map<std::string, Reader, std::less<>> table{
        {"AXRole", role},
        {"AXSubrole", subrole},
        {"AXTitle", title},
        {"AXDescription", description},
        {"AXPlaceholderValue", placeholder},
        {"AXValue", textValue},
        {"AXSelectedText", selectedText},
        {"AXSelectedTextRange", selectedRange},
        {"AXNumberOfCharacters", numberOfCharacters},
        {"AXPosition", position},
        {"AXSize", size},
        {"AXParent", parentOf},
        {"AXChildren", childrenOf},
        {"AXFocused", focused},
        {"AXWindow", window},
        {"AXFocusedUIElement", focusedElement},
        {"AXFocusedWindow", focusedWindow},
    };
    return table;
}

std::optional<Subject> subjectOf(const Element& element, AXError& error) {
    if (!element.object || element.object->kind == Kind::systemWide) {
        error = AXError::illegalArgument;
        return std::nullopt;
    }
    auto at = atspi::target(*element.object);
    if (!at) {
        // No bus, or a registry that does not answer, cannot complete; an application the
        // registry does not list is no accessible element at all, and is not waited for.
        error = element.object->kind == Kind::application &&
                        atspi::unregistered(element.object->pid, element.object->timeoutMs.load())
                    ? AXError::invalidUIElement
                    : AXError::cannotComplete;
        return std::nullopt;
    }
    return Subject{*element.object, *at};
}

// The system-wide element: what is in front, for every application.
AttributeRead systemWideAttribute(const ElementObject& element, const std::string& attribute) {
    if (attribute == "AXRole") {
        return of(Value{std::string("AXSystemWide")});
    }
    if (attribute != "AXFocusedApplication" && attribute != "AXFocusedUIElement") {
        return failed(AXError::attributeUnsupported);
    }
    const auto pid = atspi::frontPid(element.timeoutMs.load());
    if (!pid) {
        return failed(AXError::noValue);
    }
    Element app{std::make_shared<ElementObject>(Kind::application, Ref{}, *pid)};
    app.object->timeoutMs = element.timeoutMs.load();
    if (attribute == "AXFocusedApplication") {
        return of(Value{app});
    }
    return copyAttributeValue(app, attribute);
}

}  // namespace

bool isProcessTrusted() {
    // No permission guards the accessibility bus: whoever can reach it may use it.
    return true;
}

Element createApplication(Pid pid) {
    return Element{std::make_shared<ElementObject>(Kind::application, Ref{}, pid)};
}

Element createSystemWide() {
    return Element{std::make_shared<ElementObject>(Kind::systemWide, Ref{}, 0)};
}

AttributeRead copyAttributeValue(const Element& element, const std::string& attribute) {
    if (element.object && element.object->kind == Kind::systemWide) {
        return systemWideAttribute(*element.object, attribute);
    }
    const auto found = readers().find(attribute);
    if (found == readers().end()) {
        return failed(element.object ? AXError::attributeUnsupported : AXError::illegalArgument);
    }
    AXError error = AXError::failure;
    auto subject = subjectOf(element, error);
    return subject ? found->second(*subject) : failed(error);
}

AttributeRead copyParameterizedAttributeValue(const Element& element, const std::string& attribute,
                                              const Value& parameter) {
    if (attribute != "AXBoundsForRange") {
        return failed(AXError::attributeUnsupported);
    }
    const auto* wrapped = std::get_if<Wrapped>(&parameter.data);
    if (wrapped == nullptr || wrapped->kind() != WrappedKind::range) {
        return failed(AXError::illegalArgument);
    }
    AXError error = AXError::failure;
    auto s = subjectOf(element, error);
    if (!s) {
        return failed(error);
    }
    if (const AXError text = textSupport(*s); text != AXError::success) {
        return failed(text);
    }
    atspi::TextSubject text = textOf(*s);
    const auto scalars = atspi::toolkitRange(text, std::get<Range>(wrapped->value));
    if (!scalars.ok()) {
        return failed(scalars.error);
    }
    const auto [start, end] = *scalars.value;
    // An empty range is the caret: the character after it, narrowed to its leading edge; at the
    // end of the text, where toolkits other than GTK place nothing, the trailing edge of the
    // character before it.
    Got<Rect> bounds = start == end ? atspi::characterExtents(s->at, start)
                                    : atspi::rangeExtents(s->at, start, end);
    const auto empty = [](const Got<Rect>& r) {
        return !r.ok() || (r.value->size.width == 0 && r.value->size.height == 0);
    };
    if (start == end && start > 0 && empty(bounds)) {
        if (auto before = atspi::characterExtents(s->at, start - 1); !empty(before)) {
            before.value->origin.x += before.value->size.width;
            bounds = before;
        }
    }
    if (bounds.ok() && start == end) {
        bounds.value->size.width = 0;
    }
    return fromGot<Rect>(bounds, [](const Rect& r) { return Value{Wrapped{r}}; });
}

AXError setAttributeValue(const Element& element, const std::string& attribute,
                          const Value& value) {
    // Only two attributes can be set here; any other is refused without a message on the bus.
    if (attribute != "AXFocused" && attribute != "AXSelectedTextRange") {
        return AXError::attributeUnsupported;
    }
    AXError error = AXError::failure;
    auto s = subjectOf(element, error);
    if (!s) {
        return error;
    }
    if (attribute == "AXFocused") {
        const bool* wanted = std::get_if<bool>(&value.data);
        if (wanted == nullptr || !*wanted) {
            return AXError::illegalArgument;  // focus can be given, not taken away
        }
        return atspi::callForTrue(s->at, atspi::componentInterface, "GrabFocus", {});
    }
    const auto* wrapped = std::get_if<Wrapped>(&value.data);
    if (wrapped == nullptr || wrapped->kind() != WrappedKind::range) {
        return AXError::illegalArgument;
    }
    atspi::TextSubject text = textOf(*s);
    const auto scalars = atspi::toolkitRange(text, std::get<Range>(wrapped->value));
    if (!scalars.ok()) {
        return scalars.error;
    }
    const auto [start, end] = *scalars.value;
    using atspi::Argument;
    if (start == end) {
        return atspi::callForTrue(s->at, atspi::textInterface, "SetCaretOffset",
                                  {Argument::of(start)});
    }
    // SetSelection changes an existing selection only; without one it fails.
    const auto selected = atspi::selection(s->at);
    if (!selected.ok()) {
        return selected.error;
    }
    if (!*selected.value) {
        return atspi::callForTrue(s->at, atspi::textInterface, "AddSelection",
                                  {Argument::of(start), Argument::of(end)});
    }
    return atspi::callForTrue(
        s->at, atspi::textInterface, "SetSelection",
        {Argument::of(std::int32_t{0}), Argument::of(start), Argument::of(end)});
}

SettableRead isAttributeSettable(const Element& element, const std::string& attribute) {
    AXError error = AXError::failure;
    auto s = subjectOf(element, error);
    if (!s) {
        return {error, false};
    }
    const auto state = atspi::states(s->at);
    if (!state.ok()) {
        return {state.error, false};
    }
    const atspi::States& states = *state.value;
    if (attribute == "AXFocused") {
        return {AXError::success, atspi::has(states, ATSPI_STATE_FOCUSABLE)};
    }
    if (attribute == "AXValue") {
        return {AXError::success, atspi::support(s->element, s->at, atspi::editableTextInterface) ==
                                          AXError::success &&
                                      atspi::has(states, ATSPI_STATE_EDITABLE)};
    }
    if (attribute == "AXSelectedTextRange") {
        // Text that can only be selected (Gecko's SELECTABLE_TEXT on every paragraph and list
        // item) is not text that can be changed: editable means EDITABLE.
        return {AXError::success,
                atspi::support(s->element, s->at, atspi::textInterface) == AXError::success &&
                    atspi::has(states, ATSPI_STATE_EDITABLE)};
    }
    return {AXError::success, false};
}

AXError setMessagingTimeout(const Element& element, float seconds) {
    if (!element.object || !(seconds >= 0) || !std::isfinite(seconds)) {
        return AXError::illegalArgument;
    }
    // 0 restores the default, as on macOS; D-Bus itself takes milliseconds.
    // A positive time-out below a millisecond is one millisecond, not the default.
    const long ms =
        std::max(std::lround(static_cast<double>(seconds) * 1000.0), seconds > 0 ? 1L : 0L);
    element.object->timeoutMs =
        ms == 0 ? defaultMessagingTimeoutMs : static_cast<int>(std::min<long>(ms, 1L << 30));
    return AXError::success;
}

PidRead getPid(const Element& element) {
    if (!element.object || element.object->kind == Kind::systemWide) {
        return {AXError::illegalArgument, 0};
    }
    if (element.object->kind == Kind::application) {
        return {AXError::success, element.object->pid};
    }
    const auto pid = atspi::pidOfBus(element.object->ref.bus, element.object->timeoutMs.load());
    return pid ? PidRead{AXError::success, *pid} : PidRead{AXError::invalidUIElement, 0};
}

}  // namespace platform
