// The Linux backend's services called in-process against the GTK test application: what capture
// never exercises (writes of the selection and of the focus, settability, identity, pids).
// Each test is its own process under CTest, and the bus connection is the process's.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <dbus/dbus.h>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "desktop.h"
#include "in_process.h"
#include "objects.h"
#include "platform/accessibility.h"
#include "platform/core_foundation.h"
#include "platform/workspace.h"

namespace {

using namespace platform;

// The backend connects to the first desktop it is pointed at and keeps that connection, so a
// process can take part in one desktop only: later tests in the same process are skipped.
using LinuxBackend = linuxdesktop::InProcessTest;

Element withTimeout(Element element) {
    setMessagingTimeout(element, 2.0F);
    return element;
}

std::optional<Element> elementAttribute(const Element& of, const char* name) {
    AttributeRead read = copyAttributeValue(of, name);
    if (read.error != AXError::success || !read.value) {
        return std::nullopt;
    }
    const auto* element = std::get_if<Element>(&read.value->data);
    return element ? std::optional(withTimeout(*element)) : std::nullopt;
}

std::optional<std::string> stringAttribute(const Element& of, const char* name) {
    AttributeRead read = copyAttributeValue(of, name);
    if (read.error != AXError::success || !read.value) {
        return std::nullopt;
    }
    const auto* text = std::get_if<std::string>(&read.value->data);
    return text ? std::optional(*text) : std::nullopt;
}

std::optional<Range> rangeAttribute(const Element& of) {
    AttributeRead read = copyAttributeValue(of, "AXSelectedTextRange");
    if (read.error != AXError::success || !read.value) {
        return std::nullopt;
    }
    const auto* wrapped = std::get_if<Wrapped>(&read.value->data);
    return wrapped && wrapped->kind() == WrappedKind::range
               ? std::optional(std::get<Range>(wrapped->value))
               : std::nullopt;
}

AXError setRange(const Element& of, Range range) {
    return setAttributeValue(of, "AXSelectedTextRange", Value{Wrapped{range}});
}

std::optional<Element> focusedIn(Pid pid) {
    return elementAttribute(withTimeout(createApplication(pid)), "AXFocusedUIElement");
}

// Depth first, the first element with that role.
std::optional<Element> findRole(const Element& from, const std::string& role, int depth = 0) {
    if (stringAttribute(from, "AXRole") == role) {
        return from;
    }
    AttributeRead read = copyAttributeValue(from, "AXChildren");
    if (depth > 12 || read.error != AXError::success || !read.value) {
        return std::nullopt;
    }
    for (const Value& child : std::get<ValueList>(read.value->data)) {
        if (auto found = findRole(withTimeout(std::get<Element>(child.data)), role, depth + 1)) {
            return found;
        }
    }
    return std::nullopt;
}

TEST_F(LinuxBackend, SelectionIsWrittenAndReadInUtf16Units) {
    const linuxdesktop::Desktop desktop("entry");
    enter(desktop);
    const auto field = focusedIn(desktop.appPid());
    ASSERT_TRUE(field);
    // "single line é😀 text": é is unit 12, the emoji units 13 and 14, the text ends at 20.
    AttributeRead count = copyAttributeValue(*field, "AXNumberOfCharacters");
    ASSERT_EQ(count.error, AXError::success);
    EXPECT_EQ(std::get<std::int64_t>(std::get<Number>(count.value->data).value), 20);

    // No selection yet: made; then one there: changed.
    ASSERT_EQ(setRange(*field, Range{12, 5}), AXError::success);
    EXPECT_EQ(stringAttribute(*field, "AXSelectedText"), "\u00e9\U0001F600 t");
    EXPECT_EQ(rangeAttribute(*field), (Range{12, 5}));
    ASSERT_EQ(setRange(*field, Range{13, 2}), AXError::success);
    EXPECT_EQ(stringAttribute(*field, "AXSelectedText"), "\U0001F600");
    EXPECT_EQ(rangeAttribute(*field), (Range{13, 2}));
    // A range that ends inside the emoji takes all of it, not nothing.
    ASSERT_EQ(setRange(*field, Range{13, 1}), AXError::success);
    EXPECT_EQ(stringAttribute(*field, "AXSelectedText"), "\U0001F600");
    AttributeRead bounds =
        copyParameterizedAttributeValue(*field, "AXBoundsForRange", Value{Wrapped{Range{13, 1}}});
    ASSERT_EQ(bounds.error, AXError::success);
    EXPECT_GT(std::get<Rect>(std::get<Wrapped>(bounds.value->data).value).size.width, 0);
    // An empty range is the caret: the selection goes.
    ASSERT_EQ(setRange(*field, Range{15, 0}), AXError::success);
    EXPECT_EQ(stringAttribute(*field, "AXSelectedText"), "");
    EXPECT_EQ(rangeAttribute(*field), (Range{15, 0}));
    EXPECT_EQ(setRange(*field, Range{-1, 2}), AXError::illegalArgument);
}

TEST_F(LinuxBackend, SettabilityFollowsTheStates) {
    const linuxdesktop::Desktop desktop("button");
    enter(desktop);
    const auto button = focusedIn(desktop.appPid());
    ASSERT_TRUE(button);
    EXPECT_EQ(stringAttribute(*button, "AXRole"), "AXButton");
    EXPECT_FALSE(isAttributeSettable(*button, "AXValue").settable);
    EXPECT_FALSE(isAttributeSettable(*button, "AXSelectedTextRange").settable);
    EXPECT_TRUE(isAttributeSettable(*button, "AXFocused").settable);
    const auto window = elementAttribute(*button, "AXWindow");
    ASSERT_TRUE(window);
    const auto field = findRole(*window, "AXTextField");
    ASSERT_TRUE(field);
    EXPECT_TRUE(isAttributeSettable(*field, "AXValue").settable);
    EXPECT_TRUE(isAttributeSettable(*field, "AXSelectedTextRange").settable);
}

TEST_F(LinuxBackend, FocusMovesWhereItIsGiven) {
    const linuxdesktop::Desktop desktop("entry");
    enter(desktop);
    const Element systemWide = withTimeout(createSystemWide());
    const auto app = elementAttribute(systemWide, "AXFocusedApplication");
    ASSERT_TRUE(app);
    EXPECT_EQ(getPid(*app).pid, desktop.appPid());
    const auto window = elementAttribute(*app, "AXFocusedWindow");
    ASSERT_TRUE(window);
    EXPECT_EQ(stringAttribute(*window, "AXTitle"), "Larkspin test");
    const auto view = findRole(*window, "AXTextArea");
    ASSERT_TRUE(view);
    const auto before = focusedIn(desktop.appPid());
    ASSERT_TRUE(before);
    EXPECT_FALSE(same(*before, *view));
    const auto again = focusedIn(desktop.appPid());
    ASSERT_TRUE(again);
    EXPECT_TRUE(same(*before, *again));  // two handles, one element
    EXPECT_EQ(getPid(*view).pid, desktop.appPid());

    ASSERT_EQ(setAttributeValue(*view, "AXFocused", Value{true}), AXError::success);
    // The toolkit moves the focus on its own main loop: asked again until it has.
    bool moved = false;
    for (int attempt = 0; attempt < 100 && !moved; ++attempt) {
        const auto now = focusedIn(desktop.appPid());
        moved = now && same(*now, *view);
        if (!moved) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    EXPECT_TRUE(moved);
    AttributeRead focused = copyAttributeValue(*view, "AXFocused");
    ASSERT_EQ(focused.error, AXError::success);
    EXPECT_EQ(std::get<bool>(focused.value->data), true);
}

TEST_F(LinuxBackend, WorkspaceNamesTheFrontApplication) {
    const linuxdesktop::Desktop desktop("entry");
    enter(desktop);
    const auto front = frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(processIdentifier(*front), desktop.appPid());
    EXPECT_EQ(bundleIdentifier(*front), "org.larkspin.TestApp");
    EXPECT_FALSE(isTerminated(*front));
    EXPECT_FALSE(runningApplicationWithProcessIdentifier(0));
}

TEST_F(LinuxBackend, PasswordTextIsNeverFetched) {
    const linuxdesktop::Desktop desktop("password");
    enter(desktop);
    const auto field = focusedIn(desktop.appPid());
    ASSERT_TRUE(field);
    EXPECT_EQ(stringAttribute(*field, "AXSubrole"), "AXSecureTextField");
    // Whatever is asked of it, the characters themselves are never requested.
    EXPECT_EQ(copyAttributeValue(*field, "AXValue").error, AXError::noValue);
    EXPECT_EQ(copyAttributeValue(*field, "AXSelectedText").error, AXError::noValue);
    EXPECT_TRUE(rangeAttribute(*field));
    EXPECT_EQ(copyAttributeValue(*field, "AXNumberOfCharacters").error, AXError::success);
    copyParameterizedAttributeValue(*field, "AXBoundsForRange", Value{Wrapped{Range{0, 3}}});
    EXPECT_EQ(setRange(*field, Range{1, 2}), AXError::success);
    const auto calls = desktop.trace();
    EXPECT_FALSE(calls.empty());
    for (const std::string& call : calls) {
        EXPECT_EQ(call.find("org.a11y.atspi.Text.GetText"), std::string::npos) << call;
    }
}

// An object of the tests' own on the accessibility bus that has text but will not tell its role,
// as a stopped or half-built application may not: every method it is asked is recorded.
class RolelessObject {
  public:
    static constexpr const char* path = "/org/a11y/atspi/accessible/roleless";

    explicit RolelessObject(const std::string& sessionBus) {
        DBusError error;
        dbus_error_init(&error);
        // The accessibility bus, as the backend finds it: its address from the session bus.
        DBusConnection* session = dbus_connection_open_private(sessionBus.c_str(), &error);
        if (session == nullptr || !dbus_bus_register(session, &error)) {
            throw std::runtime_error("no session bus");
        }
        DBusMessage* ask = dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus",
                                                        "org.a11y.Bus", "GetAddress");
        DBusMessage* reply = dbus_connection_send_with_reply_and_block(session, ask, 5000, &error);
        dbus_message_unref(ask);
        const char* address = nullptr;
        if (reply == nullptr ||
            !dbus_message_get_args(reply, &error, DBUS_TYPE_STRING, &address, DBUS_TYPE_INVALID)) {
            throw std::runtime_error("no accessibility bus");
        }
        connection = dbus_connection_open_private(address, &error);
        dbus_message_unref(reply);
        dbus_connection_close(session);
        dbus_connection_unref(session);
        if (connection == nullptr || !dbus_bus_register(connection, &error)) {
            throw std::runtime_error("cannot join the accessibility bus");
        }
        name = dbus_bus_get_unique_name(connection);
        static const DBusObjectPathVTable table{
            nullptr, &RolelessObject::answer, nullptr, nullptr, nullptr, nullptr};
        dbus_connection_register_object_path(connection, path, &table, this);
        serving = std::thread([this] {
            while (!stopping && dbus_connection_read_write_dispatch(connection, 20)) {
            }
        });
    }
    ~RolelessObject() {
        stopping = true;
        serving.join();
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
    }
    RolelessObject(const RolelessObject&) = delete;
    RolelessObject& operator=(const RolelessObject&) = delete;

    Element element() const {
        return withTimeout(Element{std::make_shared<ElementObject>(
            ElementObject::Kind::accessible, atspi::Ref{name, path}, ::getpid())});
    }
    std::set<std::string> asked() {
        std::lock_guard lock(mutex);
        return methods;
    }

  private:
    static DBusHandlerResult answer(DBusConnection* connection, DBusMessage* message, void* self) {
        auto& object = *static_cast<RolelessObject*>(self);
        const std::string member = dbus_message_get_member(message);
        {
            std::lock_guard lock(object.mutex);
            object.methods.insert(member);
        }
        DBusMessage* reply = nullptr;
        if (member == "GetInterfaces") {
            const char* names[] = {"org.a11y.atspi.Accessible", "org.a11y.atspi.Text"};
            const char** list = names;
            reply = dbus_message_new_method_return(message);
            dbus_message_append_args(reply, DBUS_TYPE_ARRAY, DBUS_TYPE_STRING, &list, 2,
                                     DBUS_TYPE_INVALID);
        } else if (member == "Get" &&
                   dbus_message_has_interface(message, DBUS_INTERFACE_PROPERTIES)) {
            // Every property is answered as the text's character count would be.
            reply = dbus_message_new_method_return(message);
            DBusMessageIter args;
            DBusMessageIter variant;
            const dbus_int32_t count = 7;
            dbus_message_iter_init_append(reply, &args);
            dbus_message_iter_open_container(&args, DBUS_TYPE_VARIANT, "i", &variant);
            dbus_message_iter_append_basic(&variant, DBUS_TYPE_INT32, &count);
            dbus_message_iter_close_container(&args, &variant);
        } else if (member == "GetText") {
            const char* secret = "hunter2";
            reply = dbus_message_new_method_return(message);
            dbus_message_append_args(reply, DBUS_TYPE_STRING, &secret, DBUS_TYPE_INVALID);
        } else {
            reply = dbus_message_new_error(message, DBUS_ERROR_FAILED, "no answer");
        }
        dbus_connection_send(connection, reply, nullptr);
        dbus_message_unref(reply);
        return DBUS_HANDLER_RESULT_HANDLED;
    }

    DBusConnection* connection = nullptr;
    std::string name;
    std::thread serving;
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::set<std::string> methods;
};

// An object whose role cannot be read might be a password field: its text is never fetched.
TEST_F(LinuxBackend, AnObjectWhoseRoleCannotBeReadIsNeverReadAsText) {
    const linuxdesktop::Desktop desktop("entry");
    enter(desktop);
    RolelessObject object(desktop.env().at("DBUS_SESSION_BUS_ADDRESS"));
    const Element element = object.element();
    for (const char* attribute : {"AXValue", "AXSelectedText"}) {
        const AttributeRead read = copyAttributeValue(element, attribute);
        EXPECT_FALSE(read.value && std::holds_alternative<std::string>(read.value->data) &&
                     std::get<std::string>(read.value->data) == "hunter2")
            << attribute;
    }
    const std::set<std::string> asked = object.asked();
    EXPECT_FALSE(asked.empty());  // the backend did talk to it
    EXPECT_EQ(asked.count("GetText"), 0U);
}

TEST_F(LinuxBackend, TheWalkUpEndsAtTheApplication) {
    const linuxdesktop::Desktop desktop("entry");
    enter(desktop);
    const Element app = withTimeout(createApplication(desktop.appPid()));
    const auto window = elementAttribute(app, "AXFocusedWindow");
    ASSERT_TRUE(window);
    const auto up = elementAttribute(*window, "AXParent");
    ASSERT_TRUE(up);
    EXPECT_EQ(stringAttribute(*up, "AXRole"), "AXApplication");
    EXPECT_TRUE(same(*up, app));
    // Above it the bus has the desktop of all applications, which must not be reached.
    EXPECT_EQ(copyAttributeValue(*up, "AXParent").error, AXError::noValue);
    EXPECT_EQ(copyAttributeValue(app, "AXParent").error, AXError::noValue);
}

}  // namespace
