// Per-application conversation reader settings, as a capture request carries them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "frame/decode.h"

namespace capture {

struct Reader {
    // A pattern that marks the conversation list: the role must equal, and the subrole too
    // when one is given.
    struct Role {
        std::string role;
        std::optional<std::string> subrole;
    };
    // The element that names the signed-in user: its role and one of its DOM classes.
    struct Me {
        std::string role;
        std::string domClass;
    };

    std::vector<Role> list;
    std::int64_t rows = 0;   // last children of the list dumped as rows; below 0 acts as 0
    std::int64_t depth = 0;  // levels dumped below each row; below 0 acts as 0
    std::vector<std::string> skipClasses;
    std::optional<Me> me;
    bool trustsAxSelection = false;
};

struct ConversationRequest {
    std::int64_t budgetMs = 0;
    std::map<std::string, Reader> readers;  // by exact bundle identifier
};

// Decodes the value of "conversation" found at path; throws frame::DecodeError.
ConversationRequest decodeConversationRequest(parse::Value& value, const frame::Path& path);

}  // namespace capture
