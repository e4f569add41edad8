// A real, headless Linux desktop for one test: an X server, a private D-Bus session (with the
// accessibility bus it starts on demand) and the GTK test application with one widget focused.
#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace linuxdesktop {

/// What a session may add: a window manager (openbox), running before the application starts,
/// and a keyboard layout (setxkbmap's arguments, e.g. {"-layout", "us", "-variant", "dvorak"}).
struct Options {
    bool windowManager = false;
    std::vector<std::string> layout;
};

class Desktop {
  public:
    /// Starts everything and returns once the application reports the widget focused; throws
    /// std::runtime_error (with the application's standard error) when that does not happen.
    explicit Desktop(const std::string& focus, const Options& options = {});
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    /// The variables the helper needs to find this desktop, its bus calls traced to a file.
    std::map<std::string, std::string> env() const;
    pid_t appPid() const { return app_; }
    /// What the application said when it was ready: "ready", then for a text widget the screen
    /// rectangle of its selection or caret as the toolkit measures it ("x y w h").
    const std::string& readyLine() const { return ready_; }
    /// Every accessibility call the helper made so far, one per line.
    std::vector<std::string> trace() const;
    /// Starts another program on this desktop, with its environment and in its process group
    /// (it ends with the desktop); its standard output and error go to `out` and `err` when
    /// given.
    pid_t launch(const std::vector<std::string>& argv, int out = -1, int err = -1);
    /// A folder of this desktop's own, removed with it.
    const std::string& folder() const { return runtimeDir_; }

  private:
    void stop();
    void prepare(const Options& options);

    std::string runtimeDir_;
    std::string display_;
    std::string busAddress_;
    pid_t group_ = -1;
    std::vector<pid_t> children_;
    pid_t app_ = -1;
    std::string ready_;
};

}  // namespace linuxdesktop
