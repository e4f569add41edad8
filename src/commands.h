// The command table, the top of the program: the command word picks the request record and the
// command, and answers --version. Everything below it is used from here, never the other way.
#pragma once

namespace commands {

// Runs the command named by the first argument; ends the process through the reply channel.
[[noreturn]] void run(int argc, char** argv);

}  // namespace commands
