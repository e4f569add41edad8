// Runs the real helper binary as its parent does: arguments, standard input, one reply line,
// exit status, standard error; and desktop files in a private temporary folder.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace harness {

struct Run {
    std::string out;
    std::string err;
    int status = -1;       // exit status, or -1 when the process was killed by a signal
    int signal = 0;        // the signal that ended it, if any
    double elapsedMs = 0;  // wall time from start to exit
    long maxRssKb = 0;     // the peak resident memory of the child
    // The reply line parsed; null when stdout is not exactly one JSON line. Throws when the line
    // is a reply that docs/reply.schema.json does not allow.
    nlohmann::json reply() const;
    int lines() const;
};

struct Options {
    std::string program = LARKSPIN_HELPER_BINARY;  // the binary to start
    std::vector<std::string> args;
    std::string input;
    bool closeInput = true;                  // false: stdin stays open until the process ends
    std::map<std::string, std::string> env;  // added to the environment; "" removes the variable
    std::optional<std::chrono::milliseconds> terminateAfter;  // send SIGTERM after this long
    bool closeStdout = false;     // the child starts with file descriptor 1 closed
    bool blockTerminate = false;  // the child starts with SIGTERM blocked
    // A child still running after this long is killed (SIGKILL): no test may hang on one.
    std::chrono::milliseconds hardLimit = std::chrono::seconds(120);
};

Run run(const Options& options);

// Shorthand: the command word and the request text, on the given desktop file (or the demo).
Run command(const std::string& word, const std::string& input,
            const std::optional<std::string>& desktopPath = std::nullopt);

// A desktop file in a fresh temporary folder, removed with the object.
class Desktop {
  public:
    explicit Desktop(const nlohmann::json& desktop);
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    const std::string& path() const { return path_; }
    nlohmann::json read() const;  // the file as saved
    void write(const nlohmann::json& desktop) const;
    Run run(const std::string& word, const nlohmann::json& request) const;

  private:
    std::string folder_;
    std::string path_;
};

// The path of a file in examples/.
std::string example(const std::string& name);
std::string readTextFile(const std::string& path);  // "" when it cannot be read
nlohmann::json readJsonFile(const std::string& path);

}  // namespace harness
