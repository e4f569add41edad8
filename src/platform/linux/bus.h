// The accessibility bus of AT-SPI, spoken to directly over D-Bus (libdbus): every call carries
// a time-out of its own, which is the element's messaging time-out, and a reply that does not
// come in time is an error like any other.
#pragma once

#include <cstdint>
#include <dbus/dbus.h>
#include <optional>
#include <string>
#include <vector>

namespace platform::atspi {

/// An accessible object: the bus name of its application and its object path.
struct Ref {
    std::string bus;
    std::string path;
    friend bool operator==(const Ref&, const Ref&) = default;
};

inline constexpr const char* rootPath = "/org/a11y/atspi/accessible/root";
inline constexpr const char* nullPath = "/org/a11y/atspi/null";
inline constexpr const char* registryBus = "org.a11y.atspi.Registry";

/// The outcome of one call: the reply, or the D-Bus error's name.
class Reply {
  public:
    Reply() = default;
    explicit Reply(DBusMessage* message) : held(message) {}
    explicit Reply(std::string error) : errorName(std::move(error)) {}
    ~Reply();
    Reply(Reply&& other) noexcept;
    Reply& operator=(Reply&& other) noexcept;
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;

    bool ok() const { return held != nullptr; }
    bool timedOut() const;
    const std::string& error() const { return errorName; }
    DBusMessage* message() const { return held; }

  private:
    DBusMessage* held = nullptr;
    std::string errorName;
};

/// One argument of a call.
struct Argument {
    enum class Kind { int32, uint32, string, boolean };
    Kind kind = Kind::int32;
    std::int32_t int32 = 0;
    std::uint32_t uint32 = 0;
    std::string string;
    bool boolean = false;
    static Argument of(std::int32_t v) { return {Kind::int32, v, 0, {}, false}; }
    static Argument ofUnsigned(std::uint32_t v) { return {Kind::uint32, 0, v, {}, false}; }
    static Argument of(std::string v) { return {Kind::string, 0, 0, std::move(v), false}; }
};

/// Whether the accessibility bus can be reached at all (it is looked up once).
bool available();

/// Calls a method of `interface` on the object, waiting at most `timeoutMs`.
Reply call(const Ref& object, const char* interface, const char* method,
           const std::vector<Argument>& arguments, int timeoutMs);

/// Collection.GetMatches with a rule that asks for all of the given states (two words, states 0
/// to 31 and 32 to 63) and nothing else: up to `count` matches in tree order.
Reply matchStates(const Ref& object, std::uint32_t states0, std::uint32_t states1, int count,
                  int timeoutMs);

/// org.freedesktop.DBus.Properties.Get: the reply holds one variant.
Reply property(const Ref& object, const char* interface, const char* name, int timeoutMs);

/// The process that owns a bus name, asked of the bus itself.
std::optional<std::int32_t> processOf(const std::string& bus, int timeoutMs);

// Reading replies: the first argument, unwrapping a variant; absent on any other type.
std::optional<std::string> readString(const Reply& reply);
std::optional<std::int32_t> readInt32(const Reply& reply);
std::optional<std::uint32_t> readUint32(const Reply& reply);
std::optional<bool> readBoolean(const Reply& reply);
std::optional<Ref> readRef(const Reply& reply);
std::optional<std::vector<Ref>> readRefs(const Reply& reply);
std::optional<std::vector<std::uint32_t>> readUint32s(const Reply& reply);
std::optional<std::vector<std::string>> readStrings(const Reply& reply);
/// A reply of several int32 values, bare or in one structure: (ii), (iiii).
std::optional<std::vector<std::int32_t>> readInt32s(const Reply& reply);
/// a(ua(so)): each relation's type and its targets.
std::optional<std::vector<std::pair<std::uint32_t, std::vector<Ref>>>> readRelations(
    const Reply& reply);
/// a{ss}
std::optional<std::vector<std::pair<std::string, std::string>>> readStringMap(const Reply& reply);

}  // namespace platform::atspi
