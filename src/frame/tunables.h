// Process-wide tunables, fixed at start and read by name everywhere, and the argument vector.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace frame {

inline constexpr std::int64_t protocolVersion = 4;
// Messaging time-out every element handle gets before its first use.
inline constexpr float axTimeoutSeconds = 0.5F;
// The step of every polling wait, in seconds.
inline constexpr double pollInterval = 0.01;
inline constexpr std::int64_t focusTimeoutMs = 500;
inline constexpr std::int64_t composerNodeLimit = 3000;
inline constexpr std::int64_t composerWalkMs = 150;
inline constexpr std::int64_t listSearchNodeLimit = 400;
// How long a chord waits for the user to let go of modifier keys still held (the parent's
// hotkey) before it is posted anyway.
inline constexpr std::int64_t modifierReleaseMs = 300;

// The process's arguments without the program path; set once by the command table.
extern std::vector<std::string> arguments;

}  // namespace frame
