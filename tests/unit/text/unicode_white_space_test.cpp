// Checks White_Space against the Unicode Consortium's PropList.txt over every code point.
#include <fstream>

#include <gtest/gtest.h>

#include "text/white_space.h"

namespace {

const char* const propList = LARKSPIN_UNICODE_DATA "/PropList.txt";
constexpr char32_t codeSpaceEnd = 0x110000;

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

TEST(TextUnicodePropList, WhiteSpaceIsExactlyTheListedCodePoints) {
    std::ifstream file(propList);
    ASSERT_TRUE(file) << propList << " is missing; install the unicode-data package";
    std::vector<bool> listed(codeSpaceEnd, false);
    int count = 0;
    std::string line;
    while (std::getline(file, line)) {
        const std::string data = line.substr(0, line.find('#'));
        const auto semicolon = data.find(';');
        if (semicolon == std::string::npos ||
            trimmed(data.substr(semicolon + 1)) != "White_Space") {
            continue;
        }
        const std::string range = trimmed(data.substr(0, semicolon));
        const auto dots = range.find("..");
        const auto first = std::stoul(range.substr(0, dots), nullptr, 16);
        const auto last =
            dots == std::string::npos ? first : std::stoul(range.substr(dots + 2), nullptr, 16);
        for (auto c = first; c <= last; ++c) {
            listed.at(c) = true;
            ++count;
        }
    }
    EXPECT_EQ(count, 25);
    int mismatches = 0;
    for (char32_t c = 0; c < codeSpaceEnd; ++c) {
        if (text::isWhiteSpace(c) != listed[c] && ++mismatches <= 20) {
            ADD_FAILURE() << "U+" << std::hex << static_cast<std::uint32_t>(c) << " listed "
                          << listed[c];
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
