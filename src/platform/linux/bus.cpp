// The connection to the accessibility bus, opened on first use and kept for the process: its
// address comes from AT_SPI_BUS_ADDRESS, else from org.a11y.Bus on the session bus, else from
// the X root window. Calls and reply reading over libdbus; with LARKSPIN_ATSPI_TRACE set, every
// call is appended to that file (the tests use it to prove what was never asked).
#include "bus.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

#include "display.h"

namespace platform::atspi {

namespace {

constexpr int lookupTimeoutMs = 500;

struct Connection {
    std::once_flag opened;
    DBusConnection* bus = nullptr;
    std::FILE* trace = nullptr;
};

Connection& connection() {
    static Connection* const instance = new Connection;  // kept until the process ends
    return *instance;
}

// A method without arguments whose reply is one string, waited for no longer than the look-up
// time-out; absent when it fails.
std::optional<std::string> askString(DBusConnection* connection, const char* destination,
                                     const char* path, const char* interface, const char* method) {
    DBusMessage* message = dbus_message_new_method_call(destination, path, interface, method);
    if (message == nullptr) {
        return std::nullopt;
    }
    DBusError error;
    dbus_error_init(&error);
    DBusMessage* reply =
        dbus_connection_send_with_reply_and_block(connection, message, lookupTimeoutMs, &error);
    dbus_message_unref(message);
    std::optional<std::string> answer;
    const char* text = nullptr;
    if (reply != nullptr &&
        dbus_message_get_args(reply, &error, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID)) {
        answer = text;
    }
    if (reply != nullptr) {
        dbus_message_unref(reply);
    }
    dbus_error_free(&error);
    return answer;
}

// A private connection to the bus at the address, registered with a Hello that waits no
// longer than the look-up time-out (dbus_bus_register would wait libdbus's default 25 s).
DBusConnection* openBus(const std::string& address) {
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* opened = dbus_connection_open_private(address.c_str(), &error);
    dbus_error_free(&error);
    if (opened == nullptr) {
        return nullptr;
    }
    dbus_connection_set_exit_on_disconnect(opened, FALSE);
    const std::optional<std::string> name =
        askString(opened, DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "Hello");
    if (!name || !dbus_bus_set_unique_name(opened, name->c_str())) {
        dbus_connection_close(opened);
        dbus_connection_unref(opened);
        return nullptr;
    }
    return opened;
}

// Asked of org.a11y.Bus on the session bus. Without a session address nothing is asked: libdbus
// would otherwise autolaunch a session bus that outlives the helper.
std::string addressFromSession() {
    const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (session == nullptr || *session == '\0') {
        return {};
    }
    DBusConnection* connection = openBus(session);
    if (connection == nullptr) {
        return {};
    }
    const std::string address =
        askString(connection, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress")
            .value_or("");
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
    return address;
}

std::string accessibilityAddress() {
    if (const char* address = std::getenv("AT_SPI_BUS_ADDRESS"); address && *address) {
        return address;
    }
    std::string address = addressFromSession();
    if (address.empty()) {
        // The launcher also publishes the address on the X root window, for clients without a
        // session bus.
        address = busAddressOnDisplay().value_or("");
    }
    return address;
}

DBusConnection* bus() {
    Connection& c = connection();
    std::call_once(c.opened, [&] {
        dbus_threads_init_default();
        if (const char* path = std::getenv("LARKSPIN_ATSPI_TRACE"); path && *path) {
            c.trace = std::fopen(path, "a");
        }
        const std::string address = accessibilityAddress();
        if (!address.empty()) {
            c.bus = openBus(address);
        }
    });
    return c.bus;
}

// Replies that came after their call had given up are queued as if they were new messages;
// nothing here reads that queue, so it is emptied before it can grow.
void dropLateReplies(DBusConnection* connection) {
    while (DBusMessage* late = dbus_connection_pop_message(connection)) {
        dbus_message_unref(late);
    }
}

// One line per call, written once it has been answered, with the time the answer took.
void trace(const char* interface, const char* method, const Ref& object,
           const std::vector<Argument>& arguments, std::chrono::steady_clock::time_point sent) {
    std::FILE* file = connection().trace;
    if (file == nullptr) {
        return;
    }
    std::fprintf(file, "%s.%s %s %s", interface, method, object.bus.c_str(), object.path.c_str());
    for (const Argument& argument : arguments) {
        if (argument.kind == Argument::Kind::string) {
            std::fprintf(file, " %s", argument.string.c_str());
        }
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - sent;
    std::fprintf(file, " %.3fms\n", took.count());
    std::fflush(file);
}

bool append(DBusMessage* message, const std::vector<Argument>& arguments) {
    DBusMessageIter iter;
    dbus_message_iter_init_append(message, &iter);
    for (const Argument& argument : arguments) {
        bool appended = false;
        switch (argument.kind) {
            case Argument::Kind::int32: {
                const dbus_int32_t value = argument.int32;
                appended = dbus_message_iter_append_basic(&iter, DBUS_TYPE_INT32, &value);
                break;
            }
            case Argument::Kind::uint32: {
                const dbus_uint32_t value = argument.uint32;
                appended = dbus_message_iter_append_basic(&iter, DBUS_TYPE_UINT32, &value);
                break;
            }
            case Argument::Kind::string: {
                const char* value = argument.string.c_str();
                appended = dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &value);
                break;
            }
            case Argument::Kind::boolean: {
                const dbus_bool_t value = argument.boolean ? TRUE : FALSE;
                appended = dbus_message_iter_append_basic(&iter, DBUS_TYPE_BOOLEAN, &value);
                break;
            }
        }
        if (!appended) {
            return false;
        }
    }
    return true;
}

// The first argument of the reply, inside its variant if it is one.
bool firstArgument(const Reply& reply, DBusMessageIter& iter) {
    if (!reply.ok() || !dbus_message_iter_init(reply.message(), &iter)) {
        return false;
    }
    if (dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_VARIANT) {
        DBusMessageIter inner;
        dbus_message_iter_recurse(&iter, &inner);
        iter = inner;
    }
    return true;
}

template <class T, int Type>
std::optional<T> basic(DBusMessageIter& iter) {
    if (dbus_message_iter_get_arg_type(&iter) != Type) {
        return std::nullopt;
    }
    T value{};
    dbus_message_iter_get_basic(&iter, &value);
    return value;
}

// The first argument as one value of a basic type.
template <class T, int Type>
std::optional<T> firstBasic(const Reply& reply) {
    DBusMessageIter iter;
    return firstArgument(reply, iter) ? basic<T, Type>(iter) : std::nullopt;
}

// The items of the first argument when it is an array.
bool firstArray(const Reply& reply, DBusMessageIter& items) {
    DBusMessageIter iter;
    if (!firstArgument(reply, iter) || dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY) {
        return false;
    }
    dbus_message_iter_recurse(&iter, &items);
    return true;
}

// The values from the iterator on, as long as they have the type.
template <class T, int Type>
std::vector<T> basicsFrom(DBusMessageIter& at) {
    std::vector<T> values;
    while (const auto value = basic<T, Type>(at)) {
        values.emplace_back(*value);
        if (!dbus_message_iter_next(&at)) {
            break;
        }
    }
    return values;
}

std::optional<Ref> refAt(DBusMessageIter& iter) {
    if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_STRUCT) {
        return std::nullopt;
    }
    DBusMessageIter fields;
    dbus_message_iter_recurse(&iter, &fields);
    const auto name = basic<const char*, DBUS_TYPE_STRING>(fields);
    if (!name || !dbus_message_iter_next(&fields)) {
        return std::nullopt;
    }
    const auto path = basic<const char*, DBUS_TYPE_OBJECT_PATH>(fields);
    if (!path) {
        return std::nullopt;
    }
    return Ref{*name, *path};
}

// Sends one method call built by `build` and waits for its reply at most timeoutMs.
template <class Build>
Reply send(const Ref& object, const char* interface, const char* method,
           const std::vector<Argument>& traced, int timeoutMs, Build build) {
    DBusConnection* connection = bus();
    if (connection == nullptr) {
        return Reply(std::string(DBUS_ERROR_DISCONNECTED));
    }
    if (object.bus.empty() || !dbus_validate_bus_name(object.bus.c_str(), nullptr) ||
        !dbus_validate_path(object.path.c_str(), nullptr)) {
        return Reply(std::string(DBUS_ERROR_INVALID_ARGS));
    }
    const auto sent = std::chrono::steady_clock::now();
    DBusMessage* message =
        dbus_message_new_method_call(object.bus.c_str(), object.path.c_str(), interface, method);
    if (message == nullptr || !build(message)) {
        if (message != nullptr) {
            dbus_message_unref(message);
        }
        return Reply(std::string(DBUS_ERROR_NO_MEMORY));
    }
    DBusError error;
    dbus_error_init(&error);
    DBusMessage* answer = dbus_connection_send_with_reply_and_block(
        connection, message, timeoutMs > 0 ? timeoutMs : 1, &error);
    dbus_message_unref(message);
    dropLateReplies(connection);
    trace(interface, method, object, traced, sent);
    if (answer == nullptr) {
        Reply failed(std::string(error.name != nullptr ? error.name : DBUS_ERROR_FAILED));
        dbus_error_free(&error);
        return failed;
    }
    dbus_error_free(&error);
    return Reply(answer);
}

}  // namespace

Reply::~Reply() {
    if (held != nullptr) {
        dbus_message_unref(held);
    }
}

Reply::Reply(Reply&& other) noexcept
    : held(std::exchange(other.held, nullptr)), errorName(std::move(other.errorName)) {}

Reply& Reply::operator=(Reply&& other) noexcept {
    if (this != &other) {
        if (held != nullptr) {
            dbus_message_unref(held);
        }
        held = std::exchange(other.held, nullptr);
        errorName = std::move(other.errorName);
    }
    return *this;
}

bool Reply::timedOut() const {
    return errorName == DBUS_ERROR_NO_REPLY || errorName == DBUS_ERROR_TIMEOUT ||
           errorName == DBUS_ERROR_TIMED_OUT;
}

bool available() {
    return bus() != nullptr;
}

Reply call(const Ref& object, const char* interface, const char* method,
           const std::vector<Argument>& arguments, int timeoutMs) {
    return send(object, interface, method, arguments, timeoutMs,
                [&](DBusMessage* message) { return append(message, arguments); });
}

namespace {

constexpr dbus_int32_t matchAll = 1;         // ATSPI_Collection_MATCH_ALL
constexpr dbus_uint32_t canonicalOrder = 1;  // ATSPI_Collection_SORT_ORDER_CANONICAL

bool appendInt32s(DBusMessageIter& into, const std::vector<dbus_int32_t>& values) {
    DBusMessageIter array;
    if (!dbus_message_iter_open_container(&into, DBUS_TYPE_ARRAY, DBUS_TYPE_INT32_AS_STRING,
                                          &array)) {
        return false;
    }
    for (const dbus_int32_t value : values) {
        if (!dbus_message_iter_append_basic(&array, DBUS_TYPE_INT32, &value)) {
            dbus_message_iter_abandon_container(&into, &array);
            return false;
        }
    }
    return dbus_message_iter_close_container(&into, &array);
}

bool appendEmpty(DBusMessageIter& into, const char* signature) {
    DBusMessageIter array;
    return dbus_message_iter_open_container(&into, DBUS_TYPE_ARRAY, signature, &array) &&
           dbus_message_iter_close_container(&into, &array);
}

// The rule (aiia{ss}iaiiasib): states, attributes, roles, interfaces, each with its match type,
// then whether to invert. Empty sets match everything under "all".
bool appendStateRule(DBusMessage* message, std::uint32_t states0, std::uint32_t states1,
                     int count) {
    DBusMessageIter iter;
    DBusMessageIter rule;
    dbus_message_iter_init_append(message, &iter);
    if (!dbus_message_iter_open_container(&iter, DBUS_TYPE_STRUCT, nullptr, &rule)) {
        return false;
    }
    const dbus_bool_t invert = FALSE;
    const bool built = appendInt32s(rule, {static_cast<dbus_int32_t>(states0),
                                           static_cast<dbus_int32_t>(states1)}) &&
                       dbus_message_iter_append_basic(&rule, DBUS_TYPE_INT32, &matchAll) &&
                       appendEmpty(rule, "{ss}") &&
                       dbus_message_iter_append_basic(&rule, DBUS_TYPE_INT32, &matchAll) &&
                       appendInt32s(rule, {0, 0, 0, 0}) &&
                       dbus_message_iter_append_basic(&rule, DBUS_TYPE_INT32, &matchAll) &&
                       appendEmpty(rule, DBUS_TYPE_STRING_AS_STRING) &&
                       dbus_message_iter_append_basic(&rule, DBUS_TYPE_INT32, &matchAll) &&
                       dbus_message_iter_append_basic(&rule, DBUS_TYPE_BOOLEAN, &invert);
    if (!built) {
        dbus_message_iter_abandon_container(&iter, &rule);
        return false;
    }
    const dbus_int32_t wanted = count;
    const dbus_bool_t traverse = TRUE;
    return dbus_message_iter_close_container(&iter, &rule) &&
           dbus_message_iter_append_basic(&iter, DBUS_TYPE_UINT32, &canonicalOrder) &&
           dbus_message_iter_append_basic(&iter, DBUS_TYPE_INT32, &wanted) &&
           dbus_message_iter_append_basic(&iter, DBUS_TYPE_BOOLEAN, &traverse);
}

}  // namespace

Reply matchStates(const Ref& object, std::uint32_t states0, std::uint32_t states1, int count,
                  int timeoutMs) {
    return send(
        object, "org.a11y.atspi.Collection", "GetMatches", {}, timeoutMs,
        [&](DBusMessage* message) { return appendStateRule(message, states0, states1, count); });
}

Reply property(const Ref& object, const char* interface, const char* name, int timeoutMs) {
    return call(object, "org.freedesktop.DBus.Properties", "Get",
                {Argument::of(std::string(interface)), Argument::of(std::string(name))}, timeoutMs);
}

std::optional<std::int32_t> processOf(const std::string& busName, int timeoutMs) {
    const Reply reply =
        call(Ref{"org.freedesktop.DBus", "/org/freedesktop/DBus"}, "org.freedesktop.DBus",
             "GetConnectionUnixProcessID", {Argument::of(busName)}, timeoutMs);
    const auto pid = readUint32(reply);
    return pid ? std::optional<std::int32_t>(static_cast<std::int32_t>(*pid)) : std::nullopt;
}

std::optional<std::string> readString(const Reply& reply) {
    const auto text = firstBasic<const char*, DBUS_TYPE_STRING>(reply);
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

std::optional<std::int32_t> readInt32(const Reply& reply) {
    return firstBasic<dbus_int32_t, DBUS_TYPE_INT32>(reply);
}

std::optional<std::uint32_t> readUint32(const Reply& reply) {
    return firstBasic<dbus_uint32_t, DBUS_TYPE_UINT32>(reply);
}

std::optional<bool> readBoolean(const Reply& reply) {
    const auto value = firstBasic<dbus_bool_t, DBUS_TYPE_BOOLEAN>(reply);
    return value ? std::optional<bool>(*value != 0) : std::nullopt;
}

std::optional<Ref> readRef(const Reply& reply) {
    DBusMessageIter iter;
    return firstArgument(reply, iter) ? refAt(iter) : std::nullopt;
}

std::optional<std::vector<Ref>> readRefs(const Reply& reply) {
    DBusMessageIter items;
    if (!firstArray(reply, items)) {
        return std::nullopt;
    }
    std::vector<Ref> refs;
    while (dbus_message_iter_get_arg_type(&items) == DBUS_TYPE_STRUCT) {
        if (auto ref = refAt(items)) {
            refs.push_back(std::move(*ref));
        }
        dbus_message_iter_next(&items);
    }
    return refs;
}

std::optional<std::vector<std::uint32_t>> readUint32s(const Reply& reply) {
    DBusMessageIter items;
    if (!firstArray(reply, items)) {
        return std::nullopt;
    }
    return basicsFrom<std::uint32_t, DBUS_TYPE_UINT32>(items);
}

std::optional<std::vector<std::string>> readStrings(const Reply& reply) {
    DBusMessageIter items;
    if (!firstArray(reply, items)) {
        return std::nullopt;
    }
    const auto texts = basicsFrom<const char*, DBUS_TYPE_STRING>(items);
    return std::vector<std::string>(texts.begin(), texts.end());
}

std::optional<std::vector<std::int32_t>> readInt32s(const Reply& reply) {
    DBusMessageIter iter;
    if (!firstArgument(reply, iter)) {
        return std::nullopt;
    }
    if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_STRUCT) {
        return basicsFrom<std::int32_t, DBUS_TYPE_INT32>(iter);
    }
    DBusMessageIter fields;
    dbus_message_iter_recurse(&iter, &fields);
    return basicsFrom<std::int32_t, DBUS_TYPE_INT32>(fields);
}

std::optional<std::vector<std::pair<std::uint32_t, std::vector<Ref>>>> readRelations(
    const Reply& reply) {
    DBusMessageIter relations;
    if (!firstArray(reply, relations)) {
        return std::nullopt;
    }
    std::vector<std::pair<std::uint32_t, std::vector<Ref>>> found;
    while (dbus_message_iter_get_arg_type(&relations) == DBUS_TYPE_STRUCT) {
        DBusMessageIter fields;
        dbus_message_iter_recurse(&relations, &fields);
        const auto type = basic<dbus_uint32_t, DBUS_TYPE_UINT32>(fields);
        if (type && dbus_message_iter_next(&fields) &&
            dbus_message_iter_get_arg_type(&fields) == DBUS_TYPE_ARRAY) {
            DBusMessageIter targets;
            dbus_message_iter_recurse(&fields, &targets);
            std::vector<Ref> refs;
            while (dbus_message_iter_get_arg_type(&targets) == DBUS_TYPE_STRUCT) {
                if (auto ref = refAt(targets)) {
                    refs.push_back(std::move(*ref));
                }
                dbus_message_iter_next(&targets);
            }
            found.emplace_back(*type, std::move(refs));
        }
        dbus_message_iter_next(&relations);
    }
    return found;
}

std::optional<std::vector<std::pair<std::string, std::string>>> readStringMap(const Reply& reply) {
    DBusMessageIter entries;
    if (!firstArray(reply, entries)) {
        return std::nullopt;
    }
    std::vector<std::pair<std::string, std::string>> map;
    while (dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY) {
        DBusMessageIter entry;
        dbus_message_iter_recurse(&entries, &entry);
        const auto key = basic<const char*, DBUS_TYPE_STRING>(entry);
        if (key && dbus_message_iter_next(&entry)) {
            if (const auto value = basic<const char*, DBUS_TYPE_STRING>(entry)) {
                map.emplace_back(*key, *value);
            }
        }
        dbus_message_iter_next(&entries);
    }
    return map;
}

}  // namespace platform::atspi
