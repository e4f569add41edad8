// The process-wide state that the tunables header declares.
#include "frame/tunables.h"

namespace frame {

std::vector<std::string> arguments;

}  // namespace frame
