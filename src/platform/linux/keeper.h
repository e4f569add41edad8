// The keeper: the helper started again with a word of its own, which owns CLIPBOARD after the
// helper has gone and serves exactly the targets and bytes it was handed, until another client
// takes CLIPBOARD or the X connection ends.
#pragma once

#include <X11/Xlib.h>
#include <memory>
#include <string>
#include <vector>

namespace platform::x11 {

/// The command word the helper starts its keeper with; no parent uses it.
inline constexpr const char* keeperWord = "--larkspin-clipboard-keeper";

struct KeptTarget {
    std::string target;
    std::string type;
    int format = 8;
    std::shared_ptr<const std::string> bytes;
};

/// Starts a keeper with the targets, which takes CLIPBOARD with the time the helper took it
/// (so that it loses to anybody who wrote since); true once it owns CLIPBOARD, false when it
/// could not start or somebody else had written. Bounded.
bool handOver(const std::vector<KeptTarget>& targets, Time ownedAt);

/// The keeper's life, in its own process; never returns.
[[noreturn]] void keep();

}  // namespace platform::x11
