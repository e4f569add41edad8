// The selection without keys on macOS: there is none; the copy probe presses Command-C.
#include "platform/pasteboard.h"

namespace platform {

QuietSelection selectionWithoutKeys() {
    return {};
}

}  // namespace platform
