// The objects behind the platform handles of the C services on macOS: each owns one retained
// Core Foundation reference. The pasteboard's and the workspace's objects live in their .mm files.
#pragma once

#include "owned.h"

namespace platform {

struct ElementObject {
    explicit ElementObject(macos::Owned<sdk::AXUIElementRef> owned) : ref(std::move(owned)) {}
    macos::Owned<sdk::AXUIElementRef> ref;
};

struct InputSourceObject {
    explicit InputSourceObject(macos::Owned<sdk::TISInputSourceRef> owned)
        : ref(std::move(owned)) {}
    macos::Owned<sdk::TISInputSourceRef> ref;
};

// The layout data is borrowed from its input source: retained here, so that the bytes stay
// valid while the handle lives, whatever becomes of the source.
struct KeyLayoutDataObject {
    explicit KeyLayoutDataObject(macos::Owned<sdk::CFDataRef> owned) : ref(std::move(owned)) {}
    macos::Owned<sdk::CFDataRef> ref;
};

struct EventSourceObject {
    explicit EventSourceObject(macos::Owned<sdk::CGEventSourceRef> owned) : ref(std::move(owned)) {}
    macos::Owned<sdk::CGEventSourceRef> ref;
};

struct EventObject {
    explicit EventObject(macos::Owned<sdk::CGEventRef> owned) : ref(std::move(owned)) {}
    macos::Owned<sdk::CGEventRef> ref;
};

}  // namespace platform
