// The toolkit table and the cache of each application's toolkit.
#include "toolkit.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace platform::atspi {

namespace {

constexpr const char* applicationInterface = "org.a11y.atspi.Application";

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// "4.8.3" gives 4 and 8; what does not parse is 0.
std::pair<int, int> majorMinor(const std::string& version) {
    int major = 0;
    int minor = 0;
    std::size_t at = 0;
    while (at < version.size() && std::isdigit(static_cast<unsigned char>(version[at])) != 0) {
        major = major * 10 + (version[at++] - '0');
    }
    if (at < version.size() && version[at] == '.') {
        ++at;
        while (at < version.size() && std::isdigit(static_cast<unsigned char>(version[at])) != 0) {
            minor = minor * 10 + (version[at++] - '0');
        }
    }
    return {major, minor};
}

std::string stringOf(const Ref& root, const char* interface, const char* name, int timeoutMs) {
    const Reply reply = property(root, interface, name, timeoutMs);
    return readString(reply).value_or("");
}

}  // namespace

Toolkit profileOf(const std::string& toolkitName, const std::string& version,
                  const std::string& applicationName) {
    Toolkit toolkit;
    const std::string name = lower(toolkitName);
    const std::string app = lower(applicationName);
    if (name == "qt") {
        toolkit.offsets = Toolkit::Offsets::utf16;
        toolkit.currentTabFocused = true;
    } else if (name == "gecko") {
        toolkit.offsets = Toolkit::Offsets::utf16;
        toolkit.padsAstral = true;
        toolkit.unplacedAtMinusOne = true;
    } else if (name == "gtk") {
        const auto [major, minor] = majorMinor(version);
        // GTK 4.10 reworked both; 4.0 to 4.8 have neither SHOWING below the window nor
        // screen coordinates.
        if (major == 4 && minor < 10) {
            toolkit.showingOnWindowsOnly = true;
            toolkit.windowRelativeExtents = true;
        }
    }
    // LibreOffice names the toolkit of its window system (GTK with the gtk3 plug-in), but its
    // own text objects count in UTF-16 units.
    if (app.find("soffice") != std::string::npos || app.find("libreoffice") != std::string::npos) {
        toolkit.offsets = Toolkit::Offsets::utf16;
    }
    return toolkit;
}

const Toolkit& toolkitOf(const std::string& bus, int timeoutMs) {
    static std::mutex mutex;
    static auto* const known = new std::map<std::string, Toolkit>;  // kept until the process ends
    {
        std::lock_guard lock(mutex);
        if (const auto found = known->find(bus); found != known->end()) {
            return found->second;
        }
    }
    const Ref root{bus, rootPath};
    const Reply name = property(root, applicationInterface, "ToolkitName", timeoutMs);
    if (name.timedOut()) {
        static const Toolkit plain;
        return plain;  // asked again next time: a slow answer is no answer about the toolkit
    }
    const Toolkit toolkit = profileOf(
        readString(name).value_or(""), stringOf(root, applicationInterface, "Version", timeoutMs),
        stringOf(root, "org.a11y.atspi.Accessible", "Name", timeoutMs));
    std::lock_guard lock(mutex);
    return known->emplace(bus, toolkit).first->second;
}

}  // namespace platform::atspi
