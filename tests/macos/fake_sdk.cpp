// The fake's objects live in one registry keyed by the address handed out as the reference; a
// reference is never dereferenced as the SDK type it claims to be, only looked up.
#include "fake_sdk.h"

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "text/utf8.h"

namespace fake {

namespace {

enum class Kind {
    string,
    boolean,
    number,
    array,
    data,
    attributed,
    element,
    axValue,
    event,
    eventSource,
    inputSource,
    other
};

// One type id per kind, as CFGetTypeID gives them.
sdk::CFTypeID typeIdOf(Kind kind) {
    return 100 + static_cast<sdk::CFTypeID>(kind);
}

struct Object {
    Kind kind = Kind::other;
    int references = 1;
    bool immortal = false;
    std::u16string text;                    // string, attributed
    bool truth = false;                     // boolean
    bool isFloat = false;                   // number
    bool fitsInteger = true;                // number
    std::int64_t integer = 0;               // number
    double real = 0;                        // number
    std::vector<sdk::CFTypeRef> items;      // array: retained
    sdk::CFTypeRef inner = nullptr;         // attributed: its string; input source: its data
    std::optional<Layout> layout;           // data of a layout
    int id = 0;                             // element
    std::optional<float> timeout;           // element: the last messaging time-out set on it
    std::uint32_t axKind = 0;               // axValue
    std::array<unsigned char, 32> bytes{};  // axValue
    std::uint16_t keyCode = 0;              // event
    bool keyDown = false;                   // event
    std::uint64_t flags = 0;                // event
    std::optional<std::int32_t> state;      // event source; event: its source's
};

struct Script {
    sdk::AXError error = sdk::kAXErrorSuccess;
    Factory value;
};

struct Settable {
    sdk::AXError error = sdk::kAXErrorSuccess;
    bool settable = false;
};

struct State {
    std::recursive_mutex mutex;
    std::unordered_map<sdk::CFTypeRef, std::unique_ptr<Object>> objects;
    std::vector<std::string> faults;
    std::map<std::pair<int, std::string>, Script> answers;
    std::map<std::pair<int, std::string>, Settable> settables;
    std::map<std::pair<int, std::string>, sdk::AXError> setResults;
    std::map<int, std::pair<sdk::AXError, pid_t>> pids;
    bool trusted = true;
    bool failCreations = false;
    std::vector<Call> calls;
    Source current;
    Source asciiCapable;
    std::uint8_t keyboardType = 40;
    std::vector<Translation> translations;
    bool failEventSources = false;
    bool failKeyboardEvents = false;
    std::vector<Posted> posted;
    std::vector<RunLoopTurn> turns;
    bool postEventAccess = true;
    bool secureInput = false;
    std::map<std::int32_t, std::uint64_t> flagsStates;
};

State& state() {
    static State* const instance = new State;
    return *instance;
}

sdk::CFTypeRef add(Object object) {
    auto owned = std::make_unique<Object>(std::move(object));
    const sdk::CFTypeRef ref = owned.get();
    state().objects.emplace(ref, std::move(owned));
    return ref;
}

Object* find(sdk::CFTypeRef ref, const char* where) {
    State& s = state();
    const auto it = s.objects.find(ref);
    if (it == s.objects.end()) {
        s.faults.push_back(std::string(where) + ": a reference that is not live");
        return nullptr;
    }
    return it->second.get();
}

Object* findKind(sdk::CFTypeRef ref, Kind kind, const char* where) {
    Object* object = find(ref, where);
    if (object != nullptr && object->kind != kind) {
        state().faults.push_back(std::string(where) + ": a reference of another type");
        return nullptr;
    }
    return object;
}

sdk::CFTypeRef immortal(Object object) {
    object.immortal = true;
    return add(std::move(object));
}

Object makeString(std::u16string units) {
    Object object;
    object.kind = Kind::string;
    object.text = std::move(units);
    return object;
}

template <class Ref>
Ref as(sdk::CFTypeRef ref) {
    return reinterpret_cast<Ref>(const_cast<void*>(ref));
}

sdk::CFTypeRef trueConstant() {
    static const sdk::CFTypeRef ref = [] {
        Object object;
        object.kind = Kind::boolean;
        object.truth = true;
        return immortal(std::move(object));
    }();
    return ref;
}

sdk::CFTypeRef falseConstant() {
    static const sdk::CFTypeRef ref = [] {
        Object object;
        object.kind = Kind::boolean;
        return immortal(std::move(object));
    }();
    return ref;
}

sdk::CFTypeRef constantString(const char16_t* text) {
    return immortal(makeString(text));
}

void log(const char* op, int element = 0, std::string attribute = {}, std::string detail = {}) {
    state().calls.push_back({op, element, std::move(attribute), std::move(detail)});
}

std::string utf8(const std::u16string& units) {
    return text::fromUtf16(units);
}

std::string attributeName(sdk::CFStringRef name) {
    const Object* object = findKind(name, Kind::string, "attribute name");
    return object != nullptr ? utf8(object->text) : "?";
}

int elementOf(sdk::AXUIElementRef element, const char* where) {
    const Object* object = findKind(element, Kind::element, where);
    return object != nullptr ? object->id : 0;
}

std::size_t axSize(std::uint32_t kind) {
    switch (kind) {
        case sdk::kAXValueTypeCGPoint:
            return sizeof(sdk::CGPoint);
        case sdk::kAXValueTypeCGSize:
            return sizeof(sdk::CGSize);
        case sdk::kAXValueTypeCGRect:
            return sizeof(sdk::CGRect);
        case sdk::kAXValueTypeCFRange:
            return sizeof(sdk::CFRange);
        case sdk::kAXValueTypeAXError:
            return sizeof(std::int32_t);
        default:
            return 0;
    }
}

sdk::CFTypeRef inputSource(const Source& source) {
    if (source.kind == Source::Kind::absent) {
        return nullptr;
    }
    Object object;
    object.kind = Kind::inputSource;
    if (source.kind != Source::Kind::noData) {
        Object data;
        data.kind = Kind::data;
        if (source.kind == Source::Kind::layout) {
            data.layout = source.layout;
        }
        object.inner = add(std::move(data));
    }
    return add(std::move(object));
}

}  // namespace

void reset() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    for (auto it = s.objects.begin(); it != s.objects.end();) {
        it = it->second->immortal ? std::next(it) : s.objects.erase(it);
    }
    s.faults.clear();
    s.answers.clear();
    s.settables.clear();
    s.setResults.clear();
    s.pids.clear();
    s.trusted = true;
    s.failCreations = false;
    s.calls.clear();
    s.current = {};
    s.asciiCapable = {};
    s.keyboardType = 40;
    s.translations.clear();
    s.failEventSources = false;
    s.failKeyboardEvents = false;
    s.posted.clear();
    s.turns.clear();
    s.postEventAccess = true;
    s.secureInput = false;
    s.flagsStates.clear();
}

int liveObjects() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    int count = 0;
    for (const auto& [ref, object] : s.objects) {
        count += object->immortal ? 0 : 1;
    }
    return count;
}

std::vector<std::string> faults() {
    std::lock_guard lock(state().mutex);
    return state().faults;
}

sdk::CFTypeRef string(const std::u16string& units) {
    std::lock_guard lock(state().mutex);
    return add(makeString(units));
}

sdk::CFTypeRef integer(std::int64_t value) {
    std::lock_guard lock(state().mutex);
    Object object;
    object.kind = Kind::number;
    object.integer = value;
    return add(std::move(object));
}

sdk::CFTypeRef real(double value) {
    std::lock_guard lock(state().mutex);
    Object object;
    object.kind = Kind::number;
    object.isFloat = true;
    object.real = value;
    return add(std::move(object));
}

sdk::CFTypeRef hugeInteger(double value) {
    std::lock_guard lock(state().mutex);
    Object object;
    object.kind = Kind::number;
    object.fitsInteger = false;
    object.real = value;
    return add(std::move(object));
}

sdk::CFTypeRef array(const std::vector<sdk::CFTypeRef>& items) {
    std::lock_guard lock(state().mutex);
    std::vector<const void*> values(items.begin(), items.end());
    return sdk::CFArrayCreate(sdk::kCFAllocatorDefault, values.data(),
                              static_cast<sdk::CFIndex>(values.size()),
                              &sdk::kCFTypeArrayCallBacks);
}

sdk::CFTypeRef attributed(const std::u16string& units) {
    std::lock_guard lock(state().mutex);
    Object object;
    object.kind = Kind::attributed;
    object.text = units;
    object.inner = add(makeString(units));
    return add(std::move(object));
}

sdk::CFTypeRef element(int id) {
    std::lock_guard lock(state().mutex);
    Object object;
    object.kind = Kind::element;
    object.id = id;
    return add(std::move(object));
}

sdk::CFTypeRef axValue(std::uint32_t kind, const void* bytes, std::size_t size) {
    std::lock_guard lock(state().mutex);
    Object object;
    object.kind = Kind::axValue;
    object.axKind = kind;
    std::memcpy(object.bytes.data(), bytes, std::min(size, object.bytes.size()));
    return add(std::move(object));
}

sdk::CFTypeRef other() {
    std::lock_guard lock(state().mutex);
    return add(Object{});
}

std::string describe(sdk::CFTypeRef value) {
    std::lock_guard lock(state().mutex);
    if (value == nullptr) {
        return "NULL";
    }
    const Object* object = find(value, "describe");
    if (object == nullptr) {
        return "dead";
    }
    switch (object->kind) {
        case Kind::string:
            return "string " + utf8(object->text);
        case Kind::boolean:
            return object->truth ? "true" : "false";
        case Kind::number:
            return object->isFloat ? "real " + std::to_string(object->real)
                                   : "integer " + std::to_string(object->integer);
        case Kind::array: {
            std::string text = "array [";
            for (std::size_t i = 0; i < object->items.size(); ++i) {
                text += (i > 0 ? ", " : "") + describe(object->items[i]);
            }
            return text + "]";
        }
        case Kind::element:
            return "element " + std::to_string(object->id);
        case Kind::axValue: {
            double n[4] = {};
            std::memcpy(n, object->bytes.data(), sizeof n);
            const auto number = [](double d) { return std::to_string(std::llround(d)); };
            switch (object->axKind) {
                case sdk::kAXValueTypeCGPoint:
                    return "point " + number(n[0]) + " " + number(n[1]);
                case sdk::kAXValueTypeCGSize:
                    return "size " + number(n[0]) + " " + number(n[1]);
                case sdk::kAXValueTypeCGRect:
                    return "rect " + number(n[0]) + " " + number(n[1]) + " " + number(n[2]) + " " +
                           number(n[3]);
                case sdk::kAXValueTypeCFRange: {
                    sdk::CFRange range{};
                    std::memcpy(&range, object->bytes.data(), sizeof range);
                    return "range " + std::to_string(range.location) + " " +
                           std::to_string(range.length);
                }
                default:
                    return "axvalue " + std::to_string(object->axKind);
            }
        }
        default:
            return "other";
    }
}

int elementId(sdk::CFTypeRef element) {
    std::lock_guard lock(state().mutex);
    const Object* object = findKind(element, Kind::element, "elementId");
    return object != nullptr ? object->id : 0;
}

std::optional<float> timeoutOf(sdk::CFTypeRef element) {
    std::lock_guard lock(state().mutex);
    const Object* object = findKind(element, Kind::element, "timeoutOf");
    return object != nullptr ? object->timeout : std::nullopt;
}

void answer(int element, const std::string& attribute, sdk::AXError error, Factory value) {
    std::lock_guard lock(state().mutex);
    state().answers[{element, attribute}] = {error, std::move(value)};
}

void settable(int element, const std::string& attribute, sdk::AXError error, bool isSettable) {
    std::lock_guard lock(state().mutex);
    state().settables[{element, attribute}] = {error, isSettable};
}

void setResult(int element, const std::string& attribute, sdk::AXError error) {
    std::lock_guard lock(state().mutex);
    state().setResults[{element, attribute}] = error;
}

void pidOf(int element, sdk::AXError error, pid_t pid) {
    std::lock_guard lock(state().mutex);
    state().pids[element] = {error, pid};
}

void trusted(bool isTrusted) {
    std::lock_guard lock(state().mutex);
    state().trusted = isTrusted;
}

void postEventAccess(bool allowed) {
    std::lock_guard lock(state().mutex);
    state().postEventAccess = allowed;
}

void secureInput(bool enabled) {
    std::lock_guard lock(state().mutex);
    state().secureInput = enabled;
}

void flagsState(std::int32_t stateId, std::uint64_t flags) {
    std::lock_guard lock(state().mutex);
    state().flagsStates[stateId] = flags;
}

void failCreations(bool fail) {
    std::lock_guard lock(state().mutex);
    state().failCreations = fail;
}

const std::vector<Call>& calls() {
    return state().calls;
}

void currentLayout(const Source& source) {
    std::lock_guard lock(state().mutex);
    state().current = source;
}

void asciiCapableLayout(const Source& source) {
    std::lock_guard lock(state().mutex);
    state().asciiCapable = source;
}

void keyboardType(std::uint8_t type) {
    std::lock_guard lock(state().mutex);
    state().keyboardType = type;
}

const std::vector<Translation>& translations() {
    return state().translations;
}

void failEventSources(bool fail) {
    std::lock_guard lock(state().mutex);
    state().failEventSources = fail;
}

void failKeyboardEvents(bool fail) {
    std::lock_guard lock(state().mutex);
    state().failKeyboardEvents = fail;
}

const std::vector<Posted>& posted() {
    return state().posted;
}

const std::vector<RunLoopTurn>& runLoopTurns() {
    return state().turns;
}

}  // namespace fake

// --- the SDK, as the backend sees it --------------------------------------------------------

namespace sdk {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

const void* retainItem(CFAllocatorRef /*allocator*/, const void* value) {
    return CFRetain(value);
}

void releaseItem(CFAllocatorRef /*allocator*/, const void* value) {
    CFRelease(value);
}

}  // namespace

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFBooleanRef kCFBooleanTrue = fake::as<CFBooleanRef>(fake::trueConstant());
const CFBooleanRef kCFBooleanFalse = fake::as<CFBooleanRef>(fake::falseConstant());
const CFArrayCallBacks kCFTypeArrayCallBacks = {0, retainItem, releaseItem, nullptr, nullptr};
const CFRunLoopMode kCFRunLoopDefaultMode =
    fake::as<CFStringRef>(fake::constantString(u"kCFRunLoopDefaultMode"));
const CFStringRef kTISPropertyUnicodeKeyLayoutData =
    fake::as<CFStringRef>(fake::constantString(u"TISPropertyUnicodeKeyLayoutData"));

CFTypeRef CFRetain(CFTypeRef cf) {
    Guard lock(fake::state().mutex);
    if (cf == nullptr) {
        fake::state().faults.push_back("CFRetain(NULL)");
        return cf;
    }
    if (fake::Object* object = fake::find(cf, "CFRetain")) {
        ++object->references;
    }
    return cf;
}

void CFRelease(CFTypeRef cf) {
    Guard lock(fake::state().mutex);
    fake::State& s = fake::state();
    if (cf == nullptr) {
        s.faults.push_back("CFRelease(NULL)");
        return;
    }
    fake::Object* object = fake::find(cf, "CFRelease");
    if (object == nullptr || object->immortal || --object->references > 0) {
        return;
    }
    std::vector<CFTypeRef> owned = std::move(object->items);
    if (object->inner != nullptr) {
        owned.push_back(object->inner);
    }
    s.objects.erase(cf);
    for (const CFTypeRef item : owned) {
        CFRelease(item);
    }
}

CFTypeID CFGetTypeID(CFTypeRef cf) {
    Guard lock(fake::state().mutex);
    const fake::Object* object = fake::find(cf, "CFGetTypeID");
    return object != nullptr ? fake::typeIdOf(object->kind) : 0;
}

Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2) {
    Guard lock(fake::state().mutex);
    const fake::Object* a = fake::find(cf1, "CFEqual");
    const fake::Object* b = fake::find(cf2, "CFEqual");
    if (a == nullptr || b == nullptr || a->kind != b->kind) {
        return 0;
    }
    switch (a->kind) {
        case fake::Kind::element:
            return a->id == b->id ? 1 : 0;
        case fake::Kind::string:
            return a->text == b->text ? 1 : 0;
        default:
            return cf1 == cf2 ? 1 : 0;
    }
}

CFTypeID CFStringGetTypeID() {
    return fake::typeIdOf(fake::Kind::string);
}

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef /*alloc*/, const UniChar* chars,
                                         CFIndex numChars) {
    Guard lock(fake::state().mutex);
    std::u16string units(static_cast<std::size_t>(numChars), u'\0');
    if (numChars > 0) {
        std::memcpy(units.data(), chars, static_cast<std::size_t>(numChars) * sizeof(UniChar));
    }
    return fake::as<CFStringRef>(fake::add(fake::makeString(std::move(units))));
}

CFIndex CFStringGetLength(CFStringRef theString) {
    Guard lock(fake::state().mutex);
    const fake::Object* object = fake::findKind(theString, fake::Kind::string, "CFStringGetLength");
    return object != nullptr ? static_cast<CFIndex>(object->text.size()) : 0;
}

void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer) {
    Guard lock(fake::state().mutex);
    const fake::Object* object =
        fake::findKind(theString, fake::Kind::string, "CFStringGetCharacters");
    if (object == nullptr) {
        return;
    }
    if (range.location < 0 || range.length < 0 ||
        static_cast<std::size_t>(range.location + range.length) > object->text.size()) {
        fake::state().faults.push_back("CFStringGetCharacters: range out of the string");
        return;
    }
    std::memcpy(buffer, object->text.data() + range.location,
                static_cast<std::size_t>(range.length) * sizeof(UniChar));
}

CFTypeID CFNumberGetTypeID() {
    return fake::typeIdOf(fake::Kind::number);
}

CFNumberRef CFNumberCreate(CFAllocatorRef /*allocator*/, CFNumberType theType,
                           const void* valuePtr) {
    Guard lock(fake::state().mutex);
    fake::Object object;
    object.kind = fake::Kind::number;
    if (theType == kCFNumberSInt64Type) {
        std::memcpy(&object.integer, valuePtr, sizeof object.integer);
    } else {
        object.isFloat = true;
        std::memcpy(&object.real, valuePtr, sizeof object.real);
    }
    return fake::as<CFNumberRef>(fake::add(std::move(object)));
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr) {
    Guard lock(fake::state().mutex);
    const fake::Object* object = fake::findKind(number, fake::Kind::number, "CFNumberGetValue");
    if (object == nullptr) {
        return 0;
    }
    if (theType == kCFNumberSInt64Type) {
        // As Core Foundation does: a float converts, and the answer says whether it was exact.
        if (object->isFloat) {
            const bool exact =
                std::trunc(object->real) == object->real && std::fabs(object->real) < 9.2e18;
            const auto value = exact ? static_cast<std::int64_t>(object->real) : 0;
            std::memcpy(valuePtr, &value, sizeof value);
            return exact ? 1 : 0;
        }
        const std::int64_t value = object->fitsInteger ? object->integer : 0;
        std::memcpy(valuePtr, &value, sizeof value);
        return object->fitsInteger ? 1 : 0;
    }
    const double value = object->isFloat || !object->fitsInteger
                             ? object->real
                             : static_cast<double>(object->integer);
    std::memcpy(valuePtr, &value, sizeof value);
    return 1;
}

Boolean CFNumberIsFloatType(CFNumberRef number) {
    Guard lock(fake::state().mutex);
    const fake::Object* object = fake::findKind(number, fake::Kind::number, "CFNumberIsFloatType");
    return object != nullptr && object->isFloat ? 1 : 0;
}

CFTypeID CFBooleanGetTypeID() {
    return fake::typeIdOf(fake::Kind::boolean);
}

Boolean CFBooleanGetValue(CFBooleanRef boolean) {
    Guard lock(fake::state().mutex);
    const fake::Object* object = fake::findKind(boolean, fake::Kind::boolean, "CFBooleanGetValue");
    return object != nullptr && object->truth ? 1 : 0;
}

CFTypeID CFArrayGetTypeID() {
    return fake::typeIdOf(fake::Kind::array);
}

CFArrayRef CFArrayCreate(CFAllocatorRef /*allocator*/, const void** values, CFIndex numValues,
                         const CFArrayCallBacks* callBacks) {
    Guard lock(fake::state().mutex);
    if (callBacks != &kCFTypeArrayCallBacks) {
        fake::state().faults.push_back("CFArrayCreate: items would not be retained");
    }
    fake::Object object;
    object.kind = fake::Kind::array;
    for (CFIndex i = 0; i < numValues; ++i) {
        object.items.push_back(CFRetain(values[i]));
    }
    return fake::as<CFArrayRef>(fake::add(std::move(object)));
}

CFIndex CFArrayGetCount(CFArrayRef theArray) {
    Guard lock(fake::state().mutex);
    const fake::Object* object = fake::findKind(theArray, fake::Kind::array, "CFArrayGetCount");
    return object != nullptr ? static_cast<CFIndex>(object->items.size()) : 0;
}

const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx) {
    Guard lock(fake::state().mutex);
    const fake::Object* object =
        fake::findKind(theArray, fake::Kind::array, "CFArrayGetValueAtIndex");
    if (object == nullptr || idx < 0 || static_cast<std::size_t>(idx) >= object->items.size()) {
        fake::state().faults.push_back("CFArrayGetValueAtIndex: index out of the array");
        return nullptr;
    }
    return object->items[static_cast<std::size_t>(idx)];
}

CFTypeID CFAttributedStringGetTypeID() {
    return fake::typeIdOf(fake::Kind::attributed);
}

CFStringRef CFAttributedStringGetString(CFAttributedStringRef aStr) {
    Guard lock(fake::state().mutex);
    const fake::Object* object =
        fake::findKind(aStr, fake::Kind::attributed, "CFAttributedStringGetString");
    return object != nullptr ? fake::as<CFStringRef>(object->inner) : nullptr;
}

const UInt8* CFDataGetBytePtr(CFDataRef theData) {
    Guard lock(fake::state().mutex);
    const fake::Object* object = fake::findKind(theData, fake::Kind::data, "CFDataGetBytePtr");
    if (object == nullptr || !object->layout) {
        return nullptr;
    }
    return reinterpret_cast<const UInt8*>(&*object->layout);
}

CFRunLoopRunResult CFRunLoopRunInMode(CFRunLoopMode mode, CFTimeInterval seconds,
                                      Boolean returnAfterSourceHandled) {
    Guard lock(fake::state().mutex);
    const fake::Object* object = fake::findKind(mode, fake::Kind::string, "CFRunLoopRunInMode");
    fake::state().turns.push_back({object != nullptr ? fake::utf8(object->text) : "?", seconds,
                                   returnAfterSourceHandled != 0});
    return kCFRunLoopRunFinished;  // a helper's run loop has no sources: it returns at once
}

Boolean AXIsProcessTrusted() {
    Guard lock(fake::state().mutex);
    fake::log("AXIsProcessTrusted");
    return fake::state().trusted ? 1 : 0;
}

AXUIElementRef AXUIElementCreateApplication(pid_t pid) {
    Guard lock(fake::state().mutex);
    fake::log("AXUIElementCreateApplication", pid);
    if (fake::state().failCreations) {
        return nullptr;
    }
    return fake::as<AXUIElementRef>(fake::element(pid));
}

AXUIElementRef AXUIElementCreateSystemWide() {
    Guard lock(fake::state().mutex);
    fake::log("AXUIElementCreateSystemWide", -1);
    if (fake::state().failCreations) {
        return nullptr;
    }
    return fake::as<AXUIElementRef>(fake::element(-1));
}

CFTypeID AXUIElementGetTypeID() {
    return fake::typeIdOf(fake::Kind::element);
}

namespace {

AXError copied(const char* op, AXUIElementRef element, CFStringRef attribute, CFTypeRef* value,
               const std::string& detail) {
    fake::State& s = fake::state();
    const int id = fake::elementOf(element, op);
    const std::string name = fake::attributeName(attribute);
    fake::log(op, id, name, detail);
    if (*value != nullptr) {
        s.faults.push_back(std::string(op) + ": the out-pointer was not NULL before the call");
    }
    const auto it = s.answers.find({id, name});
    if (it == s.answers.end()) {
        return kAXErrorAttributeUnsupported;
    }
    // The factory may make objects: it runs with the lock held, which is recursive.
    *value = it->second.value ? it->second.value() : nullptr;
    return it->second.error;
}

}  // namespace

AXError AXUIElementCopyAttributeValue(AXUIElementRef element, CFStringRef attribute,
                                      CFTypeRef* value) {
    Guard lock(fake::state().mutex);
    return copied("AXUIElementCopyAttributeValue", element, attribute, value, {});
}

AXError AXUIElementCopyParameterizedAttributeValue(AXUIElementRef element,
                                                   CFStringRef parameterizedAttribute,
                                                   CFTypeRef parameter, CFTypeRef* result) {
    Guard lock(fake::state().mutex);
    return copied("AXUIElementCopyParameterizedAttributeValue", element, parameterizedAttribute,
                  result, fake::describe(parameter));
}

AXError AXUIElementSetAttributeValue(AXUIElementRef element, CFStringRef attribute,
                                     CFTypeRef value) {
    Guard lock(fake::state().mutex);
    const int id = fake::elementOf(element, "AXUIElementSetAttributeValue");
    const std::string name = fake::attributeName(attribute);
    fake::log("AXUIElementSetAttributeValue", id, name, fake::describe(value));
    const auto it = fake::state().setResults.find({id, name});
    return it == fake::state().setResults.end() ? kAXErrorSuccess : it->second;
}

AXError AXUIElementIsAttributeSettable(AXUIElementRef element, CFStringRef attribute,
                                       Boolean* settable) {
    Guard lock(fake::state().mutex);
    const int id = fake::elementOf(element, "AXUIElementIsAttributeSettable");
    const std::string name = fake::attributeName(attribute);
    fake::log("AXUIElementIsAttributeSettable", id, name);
    const auto it = fake::state().settables.find({id, name});
    if (it == fake::state().settables.end()) {
        *settable = 0;
        return kAXErrorSuccess;
    }
    *settable = it->second.settable ? 1 : 0;
    return it->second.error;
}

AXError AXUIElementSetMessagingTimeout(AXUIElementRef element, float timeoutInSeconds) {
    Guard lock(fake::state().mutex);
    fake::Object* object =
        fake::findKind(element, fake::Kind::element, "AXUIElementSetMessagingTimeout");
    if (object == nullptr) {
        return kAXErrorIllegalArgument;
    }
    object->timeout = timeoutInSeconds;
    fake::log("AXUIElementSetMessagingTimeout", object->id, {}, std::to_string(timeoutInSeconds));
    return kAXErrorSuccess;
}

AXError AXUIElementGetPid(AXUIElementRef element, pid_t* pid) {
    Guard lock(fake::state().mutex);
    const int id = fake::elementOf(element, "AXUIElementGetPid");
    fake::log("AXUIElementGetPid", id);
    const auto it = fake::state().pids.find(id);
    if (it == fake::state().pids.end()) {
        *pid = id;
        return kAXErrorSuccess;
    }
    *pid = it->second.second;
    return it->second.first;
}

CFTypeID AXValueGetTypeID() {
    return fake::typeIdOf(fake::Kind::axValue);
}

AXValueRef AXValueCreate(AXValueType theType, const void* valuePtr) {
    Guard lock(fake::state().mutex);
    const std::size_t size = fake::axSize(theType);
    if (size == 0 || theType == kAXValueTypeAXError) {
        return nullptr;
    }
    return fake::as<AXValueRef>(fake::axValue(theType, valuePtr, size));
}

AXValueType AXValueGetType(AXValueRef value) {
    Guard lock(fake::state().mutex);
    const fake::Object* object = fake::findKind(value, fake::Kind::axValue, "AXValueGetType");
    return object != nullptr ? static_cast<AXValueType>(object->axKind) : kAXValueTypeIllegal;
}

Boolean AXValueGetValue(AXValueRef value, AXValueType theType, void* valuePtr) {
    Guard lock(fake::state().mutex);
    const fake::Object* object = fake::findKind(value, fake::Kind::axValue, "AXValueGetValue");
    if (object == nullptr || object->axKind != theType || fake::axSize(theType) == 0) {
        return 0;
    }
    std::memcpy(valuePtr, object->bytes.data(), fake::axSize(theType));
    return 1;
}

CGEventSourceRef CGEventSourceCreate(CGEventSourceStateID stateID) {
    Guard lock(fake::state().mutex);
    if (fake::state().failEventSources) {
        return nullptr;
    }
    fake::Object object;
    object.kind = fake::Kind::eventSource;
    object.state = stateID;
    return fake::as<CGEventSourceRef>(fake::add(std::move(object)));
}

CGEventRef CGEventCreateKeyboardEvent(CGEventSourceRef source, CGKeyCode virtualKey, bool keyDown) {
    Guard lock(fake::state().mutex);
    if (fake::state().failKeyboardEvents) {
        return nullptr;
    }
    fake::Object object;
    object.kind = fake::Kind::event;
    object.keyCode = virtualKey;
    object.keyDown = keyDown;
    if (source != nullptr) {
        if (const fake::Object* from =
                fake::findKind(source, fake::Kind::eventSource, "CGEventCreateKeyboardEvent")) {
            object.state = from->state;
        }
    }
    return fake::as<CGEventRef>(fake::add(std::move(object)));
}

void CGEventSetFlags(CGEventRef event, CGEventFlags flags) {
    Guard lock(fake::state().mutex);
    if (fake::Object* object = fake::findKind(event, fake::Kind::event, "CGEventSetFlags")) {
        object->flags = flags;
    }
}

void CGEventPost(CGEventTapLocation tap, CGEventRef event) {
    Guard lock(fake::state().mutex);
    if (const fake::Object* object = fake::findKind(event, fake::Kind::event, "CGEventPost")) {
        fake::state().posted.push_back(
            {object->keyCode, object->keyDown, object->flags, tap, object->state});
    }
}

CGEventFlags CGEventSourceFlagsState(CGEventSourceStateID stateID) {
    Guard lock(fake::state().mutex);
    fake::log("CGEventSourceFlagsState");
    const auto& states = fake::state().flagsStates;
    const auto found = states.find(stateID);
    return found == states.end() ? 0 : found->second;
}

bool CGPreflightPostEventAccess() {
    Guard lock(fake::state().mutex);
    fake::log("CGPreflightPostEventAccess");
    return fake::state().postEventAccess;
}

Boolean IsSecureEventInputEnabled() {
    Guard lock(fake::state().mutex);
    fake::log("IsSecureEventInputEnabled");
    return fake::state().secureInput ? 1 : 0;
}

TISInputSourceRef TISCopyCurrentKeyboardLayoutInputSource() {
    Guard lock(fake::state().mutex);
    return fake::as<TISInputSourceRef>(fake::inputSource(fake::state().current));
}

TISInputSourceRef TISCopyCurrentASCIICapableKeyboardLayoutInputSource() {
    Guard lock(fake::state().mutex);
    return fake::as<TISInputSourceRef>(fake::inputSource(fake::state().asciiCapable));
}

void* TISGetInputSourceProperty(TISInputSourceRef inputSource, CFStringRef propertyKey) {
    Guard lock(fake::state().mutex);
    const fake::Object* object =
        fake::findKind(inputSource, fake::Kind::inputSource, "TISGetInputSourceProperty");
    if (propertyKey != kTISPropertyUnicodeKeyLayoutData) {
        fake::state().faults.push_back("TISGetInputSourceProperty: another property");
        return nullptr;
    }
    return object != nullptr ? const_cast<void*>(object->inner) : nullptr;  // borrowed
}

UInt8 LMGetKbdType() {
    Guard lock(fake::state().mutex);
    return fake::state().keyboardType;
}

OSStatus UCKeyTranslate(const UCKeyboardLayout* keyLayoutPtr, UInt16 virtualKeyCode,
                        UInt16 keyAction, UInt32 modifierKeyState, UInt32 keyboardType,
                        OptionBits keyTranslateOptions, UInt32* deadKeyState,
                        UniCharCount maxStringLength, UniCharCount* actualStringLength,
                        UniChar unicodeString[]) {
    Guard lock(fake::state().mutex);
    constexpr OSStatus paramErr = -50;
    fake::state().translations.push_back({virtualKeyCode, keyAction, modifierKeyState, keyboardType,
                                          keyTranslateOptions, *deadKeyState, maxStringLength});
    *actualStringLength = 0;
    const fake::Layout* layout = nullptr;
    for (const auto& [ref, object] : fake::state().objects) {
        if (object->layout && reinterpret_cast<const void*>(&*object->layout) == keyLayoutPtr) {
            layout = &*object->layout;
        }
    }
    if (layout == nullptr || virtualKeyCode > 127) {
        if (keyLayoutPtr != nullptr) {
            fake::state().faults.push_back("UCKeyTranslate: a layout that is not live");
        }
        return paramErr;
    }
    constexpr UInt32 commandState = 1;  // cmdKey >> 8
    const std::u16string& output = (modifierKeyState & commandState) != 0
                                       ? layout->command[virtualKeyCode]
                                       : layout->plain[virtualKeyCode];
    const std::size_t count = std::min<std::size_t>(output.size(), maxStringLength);
    std::memcpy(unicodeString, output.data(), count * sizeof(UniChar));
    *actualStringLength = count;
    *deadKeyState = 0;
    return 0;
}

}  // namespace sdk
