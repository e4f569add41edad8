// insert on the GTK test window over X11 against insert on the same window built on the
// simulated desktop: the whole run as the parent sees it, and the time from the paste reaching
// the application to the user's clipboard being back (over X11 also: until the keeper holds it).
// Prints figures; never fails.
//
// Over X11 a connection of the benchmark's own watches CLIPBOARD's owner changes (XFixes) and
// the properties of the application's windows, and the server's timestamps order them: the
// helper takes CLIPBOARD for its text; the text is written into the application's window (the
// paste); the helper takes CLIPBOARD back with the user's items; the keeper takes it over.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "linux/clipboard.h"
#include "linux/desktop.h"
#include "process/harness.h"

namespace {

using nlohmann::json;

constexpr int runs = 20;

double median(std::vector<double> values) {
    if (values.empty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figures {
    std::vector<double> walls;
    std::vector<double> pasteToBack;
    std::vector<double> backToKept;
};

// The benchmark's own view of the display.
class Watch {
  public:
    Watch(const std::string& display, pid_t app) {
        display_ = XOpenDisplay(display.c_str());
        if (display_ == nullptr) {
            return;
        }
        int error = 0;
        XFixesQueryExtension(display_, &fixesEvent_, &error);
        int major = 5;
        int minor = 0;
        XFixesQueryVersion(display_, &major, &minor);
        const Window root = DefaultRootWindow(display_);
        clipboard_ = XInternAtom(display_, "CLIPBOARD", False);
        XFixesSelectSelectionInput(display_, root, clipboard_, XFixesSetSelectionOwnerNotifyMask);
        // The application's windows, its hidden one that receives pastes among them.
        Window rootReturn = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        XQueryTree(display_, root, &rootReturn, &parent, &children, &count);
        const Atom pidAtom = XInternAtom(display_, "_NET_WM_PID", False);
        for (unsigned int i = 0; i < count; ++i) {
            Atom type = None;
            int format = 0;
            unsigned long items = 0;
            unsigned long after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display_, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type,
                                   &format, &items, &after, &data) == Success &&
                items == 1 && static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data)) == app) {
                XSelectInput(display_, children[i], PropertyChangeMask);
            }
            if (data != nullptr) {
                XFree(data);
            }
        }
        if (children != nullptr) {
            XFree(children);
        }
        XSync(display_, True);
    }
    ~Watch() {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;
    bool ok() const { return display_ != nullptr; }

    // The events since the last call: the paste to clipboard-back and back to kept, in ms.
    std::pair<std::optional<double>, std::optional<double>> measure() {
        XSync(display_, False);
        std::vector<std::pair<Window, Time>> owners;
        std::vector<Time> writes;
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == fixesEvent_ + XFixesSelectionNotify) {
                const auto& notify = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
                owners.emplace_back(notify.owner, notify.timestamp);
            } else if (event.type == PropertyNotify && event.xproperty.state == PropertyNewValue) {
                writes.push_back(event.xproperty.time);
            }
        }
        // The helper's window takes CLIPBOARD twice (its text, then the user's items); the keeper
        // after it.
        if (owners.size() < 2 || owners[0].first != owners[1].first) {
            return {};
        }
        const Time back = owners[1].second;
        std::optional<Time> paste;
        for (const Time written : writes) {
            if (written >= owners[0].second && written <= back) {
                paste = written;
            }
        }
        std::optional<double> kept;
        if (owners.size() >= 3) {
            kept = static_cast<double>(owners[2].second - back);
        }
        if (!paste) {
            return {std::nullopt, kept};
        }
        return {static_cast<double>(back - *paste), kept};
    }

  private:
    Display* display_ = nullptr;
    int fixesEvent_ = 0;
    Atom clipboard_ = None;
};

json insertRequest(pid_t pid) {
    return {{"pid", pid}, {"text", "x"}, {"into", {{"kind", "focus"}, {"mode", "afterSelection"}}}};
}

Figures onX11(const std::string& kind) {
    linuxdesktop::Desktop desktop("entry");
    const linuxdesktop::Owner owner = linuxdesktop::own(desktop, kind);
    Watch watch(desktop.env().at("DISPLAY"), desktop.appPid());
    Figures figures;
    if (!watch.ok()) {
        return figures;
    }
    for (int i = 0; i < runs; ++i) {
        const harness::Run run =
            linuxdesktop::runHelper(desktop, "insert", insertRequest(desktop.appPid()));
        figures.walls.push_back(run.elapsedMs);
        const auto [pasteToBack, backToKept] = watch.measure();
        if (pasteToBack) {
            figures.pasteToBack.push_back(*pasteToBack);
        }
        if (backToKept) {
            figures.backToKept.push_back(*backToKept);
        }
    }
    return figures;
}

Figures onSimulated() {
    json window = harness::readJsonFile(LARKSPIN_GTK_WINDOW_JSON);
    window["apps"][0]["focused"] = "entry";
    window["pasteboard"] = {{"changeCount", 1},
                            {"items", json::array({json::array({{{"type", "public.utf8-plain-text"},
                                                                 {"text", "the user's own"}}})})}};
    Figures figures;
    for (int i = 0; i < runs; ++i) {
        const harness::Desktop desktop(window);
        const harness::Run run = desktop.run("insert", insertRequest(700));
        figures.walls.push_back(run.elapsedMs);
        // The application reads the helper's text, then the helper writes the user's items.
        double landed = -1;
        double restored = -1;
        const json saved = desktop.read();
        for (const json& op : saved["lastRun"]["pasteboard"]) {
            if (op["by"] == "app" && op["op"] == "stringForType" && landed < 0) {
                landed = op["atMs"].get<double>();
            }
            if (op["by"] == "helper" && op["op"] == "writeObjects") {
                restored = op["atMs"].get<double>();
            }
        }
        if (landed >= 0 && restored >= landed) {
            figures.pasteToBack.push_back(restored - landed);
        }
    }
    return figures;
}

void print(const char* what, const Figures& figures, bool kept) {
    std::printf("    %-10s wall %6.1f ms, paste -> clipboard back %5.1f ms", what,
                median(figures.walls), median(figures.pasteToBack));
    if (kept) {
        std::printf(", back -> keeper holds it %5.1f ms", median(figures.backToKept));
    }
    std::printf(" (%zu of %d runs measured)\n", figures.pasteToBack.size(), runs);
}

}  // namespace

int main() {
    std::printf(
        "insert into the GTK test window's field: X11 against the simulated desktop (%d "
        "runs, medians; X11 times from the server's millisecond clock)\n",
        runs);
    try {
        std::printf("  the user's clipboard holds a text\n");
        print("X11", onX11("text:the user's own"), true);
        print("simulated", onSimulated(), false);
        std::printf(
            "  the user's clipboard holds text, HTML, an image and 1.5 MB of a fourth type\n");
        print("X11", onX11("full"), true);
    } catch (const std::exception& e) {
        std::printf("  no desktop (%s)\n", e.what());
    }
    return 0;
}
