// The built-in demo desktop's text, compiled in from examples/demo-desktop.json.
#pragma once

namespace platform::sim {

extern const char* const demoDesktopJson;

}  // namespace platform::sim
