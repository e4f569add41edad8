// One accessible object's reads and writes over the bus.
#include "node.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "display.h"
#include "registry.h"
#include "search.h"
#include "toolkit.h"

namespace platform::atspi {

namespace {

constexpr std::uint32_t screenCoordinates = 0;  // ATSPI_COORD_TYPE_SCREEN

template <class T>
Got<T> fromReply(const Reply& reply, std::optional<T> value) {
    if (!reply.ok()) {
        return Got<T>::failed(errorOf(reply));
    }
    return value ? Got<T>::of(std::move(*value)) : Got<T>::failed(AXError::failure);
}

Got<Rect> rectOf(const Reply& reply) {
    if (!reply.ok()) {
        return Got<Rect>::failed(errorOf(reply));
    }
    const auto values = readInt32s(reply);
    if (!values || values->size() != 4) {
        return Got<Rect>::failed(AXError::failure);
    }
    const auto& v = *values;
    if (std::any_of(v.begin(), v.end(), [](std::int32_t n) { return n == INT_MIN; })) {
        return Got<Rect>::failed(AXError::noValue);
    }
    return Got<Rect>::of(Rect{{static_cast<double>(v[0]), static_cast<double>(v[1])},
                              {static_cast<double>(v[2]), static_cast<double>(v[3])}});
}

// Where a toolkit that answers in window coordinates has the window's origin on the screen:
// asked once per application, of its active window and the X display.
std::optional<Point> windowOrigin(const Target& at) {
    static std::mutex mutex;
    static auto* const known = new std::map<std::string, std::optional<Point>>;  // kept
    {
        std::lock_guard lock(mutex);
        if (const auto found = known->find(at.ref.bus); found != known->end()) {
            return found->second;
        }
    }
    const auto window = activeWindow(Target{Ref{at.ref.bus, rootPath}, at.timeoutMs});
    if (!window.ok()) {
        return std::nullopt;  // asked again: the window may be active by the next read
    }
    const Reply reply = call(*window.value, componentInterface, "GetExtents",
                             {Argument::ofUnsigned(screenCoordinates)}, at.timeoutMs);
    const auto values = readInt32s(reply);
    const auto pid = pidOfBus(at.ref.bus, at.timeoutMs);
    std::optional<Point> origin;
    if (values && values->size() == 4 && pid) {
        const Size content{static_cast<double>((*values)[2]), static_cast<double>((*values)[3])};
        if (const auto corner = contentOrigin(*pid, content)) {
            origin = Point{corner->x - (*values)[0], corner->y - (*values)[1]};
        }
    }
    std::lock_guard lock(mutex);
    return known->emplace(at.ref.bus, origin).first->second;
}

bool unplaced(const Got<Rect>& rect) {
    return rect.ok() && rect.value->origin.x == -1 && rect.value->origin.y == -1;
}

// Gecko places nothing for a moment after a page loads (every position -1,-1) and everything
// once its layout is done: a read that meets it asks again, every 10 ms, until the layout is
// there or the process's one wait for it (as long as the focus wait) has passed. After that,
// an unplaced frame is no frame rather than a wrong one.
Got<Rect> placedByGecko(const Target& at, Got<Rect> rect, const std::function<Got<Rect>()>& ask) {
    constexpr auto layoutWait = std::chrono::milliseconds(500);
    static std::mutex mutex;
    static std::optional<Clock::time_point> waitEnds;
    std::optional<Clock::time_point> until;
    {
        std::lock_guard lock(mutex);
        if (!waitEnds) {
            waitEnds = Clock::now() + std::min<Clock::duration>(
                                          layoutWait, std::chrono::milliseconds(at.timeoutMs));
        }
        until = waitEnds;
    }
    while (unplaced(rect) && Clock::now() < *until) {
        std::this_thread::sleep_for(
            std::min<Clock::duration>(std::chrono::milliseconds(10), *until - Clock::now()));
        rect = ask();
    }
    return unplaced(rect) ? Got<Rect>::failed(AXError::noValue) : rect;
}

// A rectangle as the screen has it, whatever the toolkit's habit; `ask` asks for it again.
Got<Rect> onScreen(const Target& at, const std::function<Got<Rect>()>& ask) {
    Got<Rect> rect = ask();
    if (!rect.ok()) {
        return rect;
    }
    const Toolkit& toolkit = toolkitOf(at.ref.bus, at.timeoutMs);
    if (toolkit.unplacedAtMinusOne && unplaced(rect)) {
        rect = placedByGecko(at, std::move(rect), ask);
        if (!rect.ok()) {
            return rect;
        }
    }
    if (toolkit.windowRelativeExtents) {
        // Without a display (Wayland) the window's own coordinates are all there is.
        if (const auto origin = windowOrigin(at)) {
            rect.value->origin.x += origin->x;
            rect.value->origin.y += origin->y;
        }
    }
    return rect;
}

}  // namespace

AXError errorOf(const Reply& reply) {
    if (reply.ok()) {
        return AXError::success;
    }
    if (reply.timedOut()) {
        return AXError::cannotComplete;
    }
    const std::string& name = reply.error();
    if (name == DBUS_ERROR_UNKNOWN_METHOD || name == DBUS_ERROR_UNKNOWN_INTERFACE ||
        name == DBUS_ERROR_UNKNOWN_PROPERTY) {
        return AXError::attributeUnsupported;
    }
    if (name == DBUS_ERROR_UNKNOWN_OBJECT || name == DBUS_ERROR_SERVICE_UNKNOWN ||
        name == DBUS_ERROR_NAME_HAS_NO_OWNER || name == DBUS_ERROR_DISCONNECTED ||
        name == DBUS_ERROR_INVALID_ARGS) {
        return AXError::invalidUIElement;
    }
    return AXError::failure;
}

bool has(const States& states, int state) {
    const auto word = static_cast<std::size_t>(state / 32);
    return word < states.size() && ((states[word] >> (state % 32)) & 1u) != 0;
}

std::optional<Target> target(ElementObject& element) {
    const int timeoutMs = element.timeoutMs.load();
    std::lock_guard lock(element.mutex);
    if (element.ref.bus.empty() && element.kind == ElementObject::Kind::application) {
        if (auto root = applicationRoot(element.pid, timeoutMs)) {
            element.ref = std::move(*root);
        }
    }
    if (element.ref.bus.empty()) {
        return std::nullopt;
    }
    return Target{element.ref, timeoutMs};
}

Got<std::uint32_t> role(ElementObject& element, const Target& at) {
    {
        std::lock_guard lock(element.mutex);
        if (element.role) {
            return Got<std::uint32_t>::of(*element.role);
        }
    }
    const Reply reply = call(at.ref, accessibleInterface, "GetRole", {}, at.timeoutMs);
    Got<std::uint32_t> got = fromReply(reply, readUint32(reply));
    if (got.ok()) {
        std::lock_guard lock(element.mutex);
        element.role = got.value;
    }
    return got;
}

Got<std::vector<std::string>> interfaces(ElementObject& element, const Target& at) {
    {
        std::lock_guard lock(element.mutex);
        if (element.interfaces) {
            return Got<std::vector<std::string>>::of(*element.interfaces);
        }
    }
    const Reply reply = call(at.ref, accessibleInterface, "GetInterfaces", {}, at.timeoutMs);
    Got<std::vector<std::string>> got = fromReply(reply, readStrings(reply));
    if (got.ok()) {
        std::lock_guard lock(element.mutex);
        element.interfaces = got.value;
    }
    return got;
}

AXError support(ElementObject& element, const Target& at, const char* interface) {
    const auto got = interfaces(element, at);
    if (!got.ok()) {
        return got.error;
    }
    return std::find(got.value->begin(), got.value->end(), interface) != got.value->end()
               ? AXError::success
               : AXError::attributeUnsupported;
}

Got<States> states(const Target& at) {
    const Reply reply = call(at.ref, accessibleInterface, "GetState", {}, at.timeoutMs);
    if (!reply.ok()) {
        return Got<States>::failed(errorOf(reply));
    }
    const auto words = readUint32s(reply);
    if (!words || words->size() != 2) {
        return Got<States>::failed(AXError::failure);
    }
    return Got<States>::of(States{(*words)[0], (*words)[1]});
}

Got<std::string> stringProperty(const Target& at, const char* interface, const char* name) {
    const Reply reply = property(at.ref, interface, name, at.timeoutMs);
    return fromReply(reply, readString(reply));
}

Got<std::optional<Ref>> parent(const Target& at) {
    const Reply reply = property(at.ref, accessibleInterface, "Parent", at.timeoutMs);
    if (!reply.ok()) {
        return Got<std::optional<Ref>>::failed(errorOf(reply));
    }
    const auto ref = readRef(reply);
    if (!ref) {
        return Got<std::optional<Ref>>::failed(AXError::failure);
    }
    // An application's parent is the registry's desktop, whose children are all applications:
    // as on macOS, where an application element has no parent, the walk up ends there.
    if (ref->path == nullPath || ref->bus.empty() || ref->bus != at.ref.bus) {
        return Got<std::optional<Ref>>::of(std::nullopt);
    }
    return Got<std::optional<Ref>>::of(*ref);
}

Got<std::vector<Ref>> children(const Target& at) {
    const Reply reply = call(at.ref, accessibleInterface, "GetChildren", {}, at.timeoutMs);
    return fromReply(reply, readRefs(reply));
}

Got<std::optional<std::string>> attribute(const Target& at, const std::string& key) {
    const Reply reply = call(at.ref, accessibleInterface, "GetAttributes", {}, at.timeoutMs);
    if (!reply.ok()) {
        return Got<std::optional<std::string>>::failed(errorOf(reply));
    }
    const auto map = readStringMap(reply);
    if (!map) {
        return Got<std::optional<std::string>>::failed(AXError::failure);
    }
    for (const auto& [name, value] : *map) {
        if (name == key) {
            return Got<std::optional<std::string>>::of(value);
        }
    }
    return Got<std::optional<std::string>>::of(std::nullopt);
}

Got<std::optional<std::pair<std::int32_t, std::int32_t>>> selection(const Target& at) {
    using Result = Got<std::optional<std::pair<std::int32_t, std::int32_t>>>;
    const Reply count = call(at.ref, textInterface, "GetNSelections", {}, at.timeoutMs);
    if (!count.ok()) {
        return Result::failed(errorOf(count));
    }
    const auto n = readInt32(count);
    if (!n) {
        return Result::failed(AXError::failure);
    }
    if (*n < 1) {
        return Result::of(std::nullopt);
    }
    const Reply reply =
        call(at.ref, textInterface, "GetSelection", {Argument::of(std::int32_t{0})}, at.timeoutMs);
    if (!reply.ok()) {
        return Result::failed(errorOf(reply));
    }
    const auto bounds = readInt32s(reply);
    if (!bounds || bounds->size() != 2) {
        return Result::failed(AXError::failure);
    }
    // Some toolkits answer (-1, -1) for a selection that has just gone.
    const std::int32_t start = std::max(0, std::min((*bounds)[0], (*bounds)[1]));
    const std::int32_t end = std::max(0, std::max((*bounds)[0], (*bounds)[1]));
    if (start == end) {
        return Result::of(std::nullopt);
    }
    return Result::of(std::pair{start, end});
}

Got<std::int32_t> caret(const Target& at) {
    const Reply reply = property(at.ref, textInterface, "CaretOffset", at.timeoutMs);
    return fromReply(reply, readInt32(reply));
}

Got<Rect> extents(const Target& at) {
    return onScreen(at, [&] {
        return rectOf(call(at.ref, componentInterface, "GetExtents",
                           {Argument::ofUnsigned(screenCoordinates)}, at.timeoutMs));
    });
}

Got<Rect> rangeExtents(const Target& at, std::int32_t start, std::int32_t end) {
    return onScreen(at, [&] {
        return rectOf(
            call(at.ref, textInterface, "GetRangeExtents",
                 {Argument::of(start), Argument::of(end), Argument::ofUnsigned(screenCoordinates)},
                 at.timeoutMs));
    });
}

Got<Rect> characterExtents(const Target& at, std::int32_t offset) {
    return onScreen(at, [&] {
        return rectOf(call(at.ref, textInterface, "GetCharacterExtents",
                           {Argument::of(offset), Argument::ofUnsigned(screenCoordinates)},
                           at.timeoutMs));
    });
}

AXError callForTrue(const Target& at, const char* interface, const char* method,
                    const std::vector<Argument>& arguments) {
    const Reply reply = call(at.ref, interface, method, arguments, at.timeoutMs);
    if (!reply.ok()) {
        return errorOf(reply);
    }
    return readBoolean(reply).value_or(false) ? AXError::success : AXError::cannotComplete;
}

}  // namespace platform::atspi
