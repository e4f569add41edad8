// Base64 (RFC 4648, standard alphabet) for pasteboard data that is not text in desktop files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/pasteboard.h"

namespace platform::sim {

std::string encodeBase64(const Bytes& bytes);

/// The decoded bytes, or absent for a character outside the alphabet or a bad length; the
/// trailing "=" padding may be left out.
std::optional<Bytes> decodeBase64(std::string_view text);

}  // namespace platform::sim
