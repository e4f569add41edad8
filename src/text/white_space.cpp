// White space, newline characters, blank text and line ends.
#include "text/white_space.h"

#include "text/graphemes.h"

namespace text {

bool isWhiteSpace(char32_t c) {
    // The list is fixed by PropList.txt and has not changed since Unicode 6.0; utf8proc has no
    // lookup for the property.
    switch (c) {
        case 0x0009:
        case 0x000A:
        case 0x000B:
        case 0x000C:
        case 0x000D:
        case 0x0020:
        case 0x0085:
        case 0x00A0:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
            return true;
        default:
            return c >= 0x2000 && c <= 0x200A;
    }
}

bool isNewline(char32_t c) {
    return (c >= 0x000A && c <= 0x000D) || c == 0x0085 || c == 0x2028 || c == 0x2029;
}

bool isBlank(std::string_view utf8) {
    ClusterCursor cursor(utf8);
    while (const auto cluster = cursor.next()) {
        if (!isWhiteSpace(cluster->first)) {
            return false;
        }
    }
    return true;
}

bool endsWithNewline(std::string_view utf8) {
    // Every newline character is a control, and clusters break before and after controls except
    // inside CR LF; so the last cluster starts with a newline exactly when the last scalar is
    // one. None of the newline encodings starts with a continuation byte, so the suffix decides.
    for (const std::string_view ending :
         {std::string_view("\n"), std::string_view("\v"), std::string_view("\f"),
          std::string_view("\r"), std::string_view("\xC2\x85"), std::string_view("\xE2\x80\xA8"),
          std::string_view("\xE2\x80\xA9")}) {
        if (utf8.ends_with(ending)) {
            return true;
        }
    }
    return false;
}

}  // namespace text
