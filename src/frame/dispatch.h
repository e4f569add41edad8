// Entry and command dispatch: the process-wide state, the command word, the version reply.
#pragma once

namespace frame {

// Runs the command named by the first argument; ends the process through the reply channel.
[[noreturn]] void run(int argc, char** argv);

}  // namespace frame
