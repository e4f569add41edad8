// Checks White_Space against the Unicode Consortium's PropList.txt over every code point, and
// collapsing on every code point it lists.
#include <algorithm>
#include <fstream>
#include <vector>

#include <gtest/gtest.h>
#include <utf8proc.h>

#include "support/slow_text.h"
#include "text/normalize.h"
#include "text/utf8.h"
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

// The code points PropList.txt lists as White_Space.
std::vector<bool> listedWhiteSpace() {
    std::ifstream file(propList);
    EXPECT_TRUE(file) << propList << " is missing; install the unicode-data package";
    std::vector<bool> listed(codeSpaceEnd, false);
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
        }
    }
    return listed;
}

TEST(TextUnicodePropList, WhiteSpaceIsExactlyTheListedCodePoints) {
    const std::vector<bool> listed = listedWhiteSpace();
    EXPECT_EQ(std::count(listed.begin(), listed.end(), true), 25);
    int mismatches = 0;
    for (char32_t c = 0; c < codeSpaceEnd; ++c) {
        if (text::isWhiteSpace(c) != listed[c] && ++mismatches <= 20) {
            ADD_FAILURE() << "U+" << std::hex << static_cast<std::uint32_t>(c) << " listed "
                          << listed[c];
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Collapsing looks for white space only at the lead bytes that can start it, for a cluster
// joined to the one before only after U+0600, and for the end of a white-space cluster only
// from U+0300 on and after a carriage return. Every listed code point is collapsed between
// letters, and next to every character that can join its cluster (a prepended mark before it;
// an extending, spacing or joining mark after it) as the cluster-by-cluster reference does.
TEST(TextUnicodePropList, CollapseDropsEveryListedWhiteSpaceWithItsCluster) {
    const std::vector<bool> listed = listedWhiteSpace();
    std::vector<std::string> spaces;
    std::vector<std::string> before = {"a", "\r", "\u05FF"};
    std::vector<std::string> after = {"b", "\n", "\u02FF"};
    for (char32_t c = 0; c < codeSpaceEnd; ++c) {
        std::string single;
        text::appendUtf8(single, c);
        if (listed[c]) {
            spaces.push_back(single);
            EXPECT_EQ(text::collapseWhiteSpace("a" + single + "b"), "a b") << single;
        }
        switch (utf8proc_get_property(static_cast<utf8proc_int32_t>(c))->boundclass) {
            case UTF8PROC_BOUNDCLASS_PREPEND:
                before.push_back(single);
                break;
            case UTF8PROC_BOUNDCLASS_EXTEND:
            case UTF8PROC_BOUNDCLASS_SPACINGMARK:
            case UTF8PROC_BOUNDCLASS_ZWJ:
                after.push_back(single);
                break;
            default:
                break;
        }
    }
    int mismatches = 0;
    const auto check = [&](const std::string& text) {
        if (text::collapseWhiteSpace(text) != slowtext::collapse(text) && ++mismatches <= 20) {
            ADD_FAILURE() << text;
        }
    };
    for (const std::string& space : spaces) {
        for (const std::string& mark : before) {
            check("x" + mark + space + space + "y");  // a joined space stays beside the next
        }
        for (const std::string& mark : after) {
            check("x" + space + mark + "y");
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
