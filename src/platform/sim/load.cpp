// The desktop file loader's entry: the file's top level, its layouts and pasteboard, and the
// reading of the file itself.
#include "platform/sim/load.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/sim/base64.h"
#include "platform/sim/layouts.h"
#include "platform/sim/loader.h"
#include "text/utf8.h"

namespace platform::sim {

namespace loading {

Desktop Loader::run() {
    if (document.type() != Kind::object) {
        fail("a desktop is a JSON object");
    }
    Value root = document.root();
    readDesktopMembers(root);
    document.finish();
    resolveTimeline();
    return std::move(desktop);
}

void Loader::readDesktopMembers(Value& value) {
    enum class Key {
        trusted,
        systemVersion,
        frontmost,
        focusedApplication,
        layouts,
        pasteboard,
        apps,
        timeline,
        lastRun,
        postEventAccess,
        secureInput,
        heldModifiers
    };
    static constexpr Names<12> names = {
        "trusted", "systemVersion",   "frontmost",   "focusedApplication",
        "layouts", "pasteboard",      "apps",        "timeline",
        "lastRun", "postEventAccess", "secureInput", "heldModifiers"};
    readMembers<Key>(value, "an object", names, [&](Key key, Value& member) {
        switch (key) {
            case Key::trusted:
                desktop.trusted = readBool(member);
                break;
            case Key::systemVersion:
                readSystemVersion(member);
                break;
            case Key::frontmost:
                if (isNull(member)) {
                    desktop.frontmost.reset();
                } else {
                    desktop.frontmost = readPid(member);
                }
                break;
            case Key::focusedApplication:
                readFocusedApplication(member);
                break;
            case Key::layouts:
                readLayouts(member);
                break;
            case Key::pasteboard:
                readPasteboard(member);
                break;
            case Key::apps:
                eachElement(member, "a list of apps",
                            [&](std::size_t, Value& app) { readApp(app); });
                break;
            case Key::timeline:
                eachElement(member, "a list of events",
                            [&](std::size_t i, Value& event) { readTimelineEvent(event, i); });
                break;
            case Key::lastRun:
                // The record of the previous run is written for whoever reads the file; loading
                // starts a new one.
                skip(member);
                break;
            case Key::postEventAccess:
                desktop.postEventAccess = readBool(member);
                break;
            case Key::secureInput:
                desktop.secureInput = readBool(member);
                break;
            case Key::heldModifiers:
                readHeldModifiers(member);
                break;
        }
    });
}

void Loader::readHeldModifiers(Value& value) {
    desktop.heldModifiers = {};
    if (isNull(value)) {
        return;
    }
    enum class Key { flags, untilMs };
    static constexpr Names<2> names = {"flags", "untilMs"};
    readMembers<Key>(value, "an object or null", names, [&](Key key, Value& member) {
        if (key == Key::flags) {
            const std::int64_t flags = readInteger(member);
            if (flags < 0) {
                fail("expected event flags, a number from 0");
            }
            desktop.heldModifiers.flags = static_cast<std::uint64_t>(flags);
        } else if (isNull(member)) {
            desktop.heldModifiers.untilMs.reset();
        } else {
            desktop.heldModifiers.untilMs = readMs(member);
        }
    });
}

void Loader::readSystemVersion(Value& value) {
    const std::string text = readString(value);
    std::array<int, 3> parts{0, 0, 0};
    std::size_t count = 0;
    std::size_t i = 0;
    bool ok = !text.empty();
    while (ok && i < text.size()) {
        if (count == 3) {
            ok = false;
            break;
        }
        std::int64_t value = 0;
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000) {
            value = value * 10 + (text[i] - '0');
            ++i;
        }
        if (i == start || value >= 100000) {
            ok = false;
            break;
        }
        parts[count++] = static_cast<int>(value);
        if (i < text.size()) {
            if (text[i] != '.' || i + 1 == text.size()) {
                ok = false;
                break;
            }
            ++i;
        }
    }
    if (!ok || count < 2) {
        fail("expected a version \"major.minor[.patch]\", found " + inQuotes(text));
    }
    desktop.systemVersion = text;
    desktop.version = parts;
}

void Loader::readFocusedApplication(Value& value) {
    if (isNull(value)) {
        desktop.focusedApplication = {FocusedApplication::Kind::none, 0};
        return;
    }
    if (kindOf(value) == Kind::string) {
        if (readText(value) != "fail") {
            fail("expected a process id, null or \"fail\"");
        }
        desktop.focusedApplication = {FocusedApplication::Kind::fail, 0};
        return;
    }
    if (kindOf(value) != Kind::number) {
        fail("expected a process id, null or \"fail\"");
    }
    desktop.focusedApplication = {FocusedApplication::Kind::pid, readPid(value)};
}

void Loader::readLayouts(Value& value) {
    desktop.layoutsGiven = false;
    desktop.currentLayout = {};
    desktop.asciiCapableLayout = {};
    if (isNull(value)) {
        return;
    }
    desktop.layoutsGiven = true;
    enum class Key { current, asciiCapable };
    static constexpr Names<2> names = {"current", "asciiCapable"};
    readMembers<Key>(value, "an object or null", names, [&](Key key, Value& member) {
        (key == Key::current ? desktop.currentLayout : desktop.asciiCapableLayout) =
            readLayout(member);
    });
}

LayoutSlot Loader::readLayout(Value& value) {
    if (isNull(value)) {
        return {LayoutSlot::Kind::noData, nullptr};
    }
    if (kindOf(value) == Kind::string) {
        const std::string name(readText(value));
        auto layout = builtinLayout(name);
        if (!layout) {
            fail("unknown layout " + inQuotes(name) +
                 " (us, dvorak, azerty, qwertz, dvorak-qwerty)");
        }
        return {LayoutSlot::Kind::layout, std::move(layout)};
    }
    KeyLayout layout;
    enum class Key { keys, commandKeys };
    static constexpr Names<2> names = {"keys", "commandKeys"};
    const auto seen = readMembers<Key>(
        value, "a layout name, a key map or null", names, [&](Key key, Value& member) {
            const bool command = key == Key::commandKeys;
            readKeyMap(member, command ? layout.commandKeys : layout.keys,
                       command ? layout.commandGiven : layout.given);
        });
    if (!seen.has(Key::keys)) {
        fail("a custom layout needs \"keys\"");
    }
    return {LayoutSlot::Kind::layout, customLayout(std::move(layout))};
}

void Loader::readKeyMap(Value& value, std::array<std::u16string, 128>& keys,
                        std::bitset<128>& given) {
    eachMember(value, "an object of key codes", [&](std::string_view code, Value& member) {
        std::int64_t value = -1;
        if (!code.empty() && code.size() <= 3 &&
            code.find_first_not_of("0123456789") == std::string_view::npos) {
            value = std::stoll(std::string(code));
        }
        if (value < 0 || value > 127) {
            fail("key code " + inQuotes(code) + " is not 0 to 127");
        }
        const auto index = static_cast<std::size_t>(value);
        if (given[index]) {
            fail("key code " + inQuotes(code) + " is given twice");
        }
        Step inner(*this, code);
        std::u16string output = text::toUtf16(readText(member));
        if (output.size() > 4) {
            fail("a key types at most 4 UTF-16 units");
        }
        keys[index] = std::move(output);
        given.set(index);
    });
}

void Loader::readPasteboard(Value& value) {
    enum class Key {
        changeCount,
        items,
        readLatencyMs,
        writeLatencyMs,
        refusesTypelessItems,
        accessBehavior
    };
    static constexpr Names<6> names = {"changeCount",          "items",
                                       "readLatencyMs",        "writeLatencyMs",
                                       "refusesTypelessItems", "accessBehavior"};
    static constexpr Names<4> behaviors = {"default", "ask", "alwaysAllow", "alwaysDeny"};
    readMembers<Key>(value, "an object", names, [&](Key key, Value& member) {
        switch (key) {
            case Key::changeCount:
                desktop.changeCount = readInteger(member);
                return;
            case Key::items:
                desktop.pasteboard = readItems(member);
                return;
            case Key::readLatencyMs:
                desktop.pasteboardReadLatencyMs = readMs(member);
                return;
            case Key::writeLatencyMs:
                desktop.pasteboardWriteLatencyMs = readMs(member);
                return;
            case Key::refusesTypelessItems:
                desktop.pasteboardRefusesTypelessItems = readBool(member);
                return;
            case Key::accessBehavior:
                desktop.pasteboardAccess = static_cast<PasteboardAccessBehavior>(
                    readName(member, "access behavior", behaviors));
                return;
        }
    });
}

std::vector<PasteboardItemData> Loader::readItems(Value& value) {
    std::vector<PasteboardItemData> items;
    eachElement(value, "a list of items",
                [&](std::size_t, Value& item) { items.push_back(readItem(item)); });
    return items;
}

PasteboardItemData Loader::readItem(Value& value) {
    PasteboardItemData item;
    eachElement(value, "an item (a list of types)", [&](std::size_t, Value& type) {
        enum class Key { type, text, base64, data };
        static constexpr Names<4> names = {"type", "text", "base64", "data"};
        PasteboardEntry entry;
        int payloads = 0;
        const auto seen =
            readMembers<Key>(type, "a type object", names, [&](Key key, Value& member) {
                switch (key) {
                    case Key::type:
                        entry.type = readString(member);
                        return;
                    case Key::text: {
                        const std::string_view text = readText(member);
                        entry.data = Bytes(text.begin(), text.end());
                        break;
                    }
                    case Key::base64: {
                        auto bytes = decodeBase64(readText(member));
                        if (!bytes) {
                            fail("not base64");
                        }
                        entry.data = std::move(*bytes);
                        break;
                    }
                    case Key::data:
                        if (!isNull(member)) {
                            fail("\"data\" can only be null (a type that yields no data)");
                        }
                        entry.data.reset();
                        break;
                }
                ++payloads;
            });
        if (!seen.has(Key::type)) {
            fail("a pasteboard type needs \"type\"");
        }
        if (payloads != 1) {
            fail("a pasteboard type needs exactly one of \"text\", \"base64\" or \"data\": null");
        }
        item.push_back(std::move(entry));
    });
    return item;
}

}  // namespace loading

LoadOutcome loadDesktop(std::string_view text, std::string_view name) {
    return loadDesktopText(std::string(text), name);
}

LoadOutcome loadDesktopText(std::string&& text, std::string_view name) {
    LoadOutcome outcome;
    parse::pad(text);
    try {
        loading::Loader loader(text);
        outcome.desktop = loader.run();
    } catch (const loading::LoadError& error) {
        outcome.detail = "desktop: " + std::string(name) + ": " + error.message;
    } catch (const parse::SyntaxError& error) {
        outcome.detail = "desktop: " + std::string(name) + ": not JSON: " + error.problem + " at " +
                         parse::describeOffset(text, error.offset);
    } catch (const std::bad_alloc&) {
        outcome.detail = "desktop: " + std::string(name) + ": out of memory";
    }
    return outcome;
}

LoadOutcome loadDesktopFile(const std::string& path) {
    const auto refuse = [&](const char* what, int error) {
        LoadOutcome outcome;
        outcome.detail = "desktop: " + path + ": " + what + ": " + std::strerror(error);
        return outcome;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return refuse("cannot read", errno);
    }
    std::string text;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0) {
        text.reserve(static_cast<std::size_t>(info.st_size) + simdjson::SIMDJSON_PADDING);
    }
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            ::close(fd);
            return refuse("cannot read", error);
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return loadDesktopText(std::move(text), path);
}

}  // namespace platform::sim
