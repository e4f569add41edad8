// A real, headless Linux desktop for one test: an X server, a private D-Bus session (with the
// accessibility bus it starts on demand) and the GTK test application with one widget focused.
#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace linuxdesktop {

/// The application a desktop runs, and what it needs around it.
struct App {
    std::vector<std::string> argv;
    std::map<std::string, std::string> env;
    /// What the application prints once it is ready ("ready" and the rest of that line).
    std::string readyWord = "ready";
    /// A window manager (openbox), managing the screen before the application starts: for
    /// applications that do not take the X input focus themselves, and for activation.
    bool windowManager = false;
    /// A keyboard layout set before the application starts (setxkbmap's arguments, e.g.
    /// {"-layout", "us", "-variant", "dvorak"}).
    std::vector<std::string> layout;
    /// The accessibility bus and its registry started before the application: Qt 5 joins the
    /// bus only when the registry is already there.
    bool registryFirst = false;
    /// A Wayland compositor (Weston on the X server) for the application, which then runs with
    /// no DISPLAY of its own.
    bool wayland = false;
};

/// The compositor's socket name in a desktop's XDG_RUNTIME_DIR.
inline constexpr const char* waylandSocket = "larkspin-wayland";

/// The GTK 3 test application with that widget focused.
App gtk3App(const std::string& focus);

/// What a GTK 3 session may add around the application.
struct Options {
    bool windowManager = false;
    std::vector<std::string> layout;
};

class Desktop {
  public:
    /// Starts everything and returns once the application reports the widget focused; throws
    /// std::runtime_error (with the application's standard error) when that does not happen.
    explicit Desktop(const std::string& focus, const Options& options = {});
    explicit Desktop(const App& app);
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    /// The variables the helper needs to find this desktop, its bus calls traced to a file.
    std::map<std::string, std::string> env() const;
    /// Points this process's environment at the desktop, as the helper's is; without `traced`
    /// this process's own bus calls stay out of the trace.
    void enter(bool traced) const;
    pid_t appPid() const { return app_; }
    /// What the application said when it was ready: "ready", then for a text widget the screen
    /// rectangle of its selection or caret as the toolkit measures it ("x y w h").
    const std::string& readyLine() const { return ready_; }
    /// Every accessibility call the helper made so far, one per line.
    std::vector<std::string> trace() const;
    /// Starts another program on this desktop, with the application's environment and in its
    /// process group (it ends with the desktop); its standard output and error go to `out` and
    /// `err` when given.
    pid_t launch(const std::vector<std::string>& argv, int out = -1, int err = -1);
    /// A folder of this desktop's own, removed with it.
    const std::string& folder() const { return runtimeDir_; }

  private:
    void stop();
    void prepare(const App& app);

    std::string runtimeDir_;
    std::string display_;
    std::string busAddress_;
    pid_t group_ = -1;
    std::vector<pid_t> children_;
    pid_t app_ = -1;
    std::vector<std::string> appEnv_;
    std::string ready_;
};

}  // namespace linuxdesktop
