// The conversation walk: the message list nearest to the focus, its last rows as nested maps of
// attributes, the label that names the user, and the time each step took; or what it missed.
#pragma once

#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "ax/focus.h"
#include "ax/poll.h"
#include "capture/reader.h"
#include "platform/accessibility.h"

namespace capture {

using Deadline = ax::Clock::time_point;

enum class Missed { noList, timedOut };
std::string_view rawValue(Missed missed);

// The element's "AXDOMClassList" when it is a list of strings; empty otherwise.
std::vector<std::string> classList(const platform::Element& element);

bool isList(const Reader& reader, const platform::Element& element);
bool skips(const Reader& reader, const platform::Element& element);

// Climbs from the start one ancestor at a time, searching breadth-first below each the part not
// searched yet, within listSearchNodeLimit queued nodes for the whole climb.
std::variant<platform::Element, Missed> nearestList(const Reader& reader,
                                                    const platform::Element& start,
                                                    Deadline deadline);

// The list's last rows, last child first; stops at the first row the deadline cut short.
std::vector<nlohmann::json> dumpTail(const Reader& reader, const platform::Element& list,
                                     Deadline deadline);

// One element and, levels deep (at most 256), its children that are not skipped and do not loop
// back to an element above them; absent when the deadline passed anywhere inside.
std::optional<nlohmann::json> dump(const Reader& reader, const platform::Element& element,
                                   std::int64_t levels, Deadline deadline);

// The label of the first element breadth-first that has the user's role and class.
std::optional<std::string> findMe(const Reader& reader, const platform::Element& root,
                                  Deadline deadline);

// The result map in one of its three shapes; never fails.
nlohmann::json dumpConversation(const ConversationRequest& request, const Reader& reader,
                                const ax::Focus& focus);

}  // namespace capture
