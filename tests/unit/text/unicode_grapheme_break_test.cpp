// Runs the Unicode Consortium's GraphemeBreakTest.txt (Unicode 15.0, what utf8proc 2.8 follows)
// against the cluster boundaries.
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "text/graphemes.h"
#include "text/utf8.h"

namespace {

const char* const testFile = LARKSPIN_UNICODE_DATA "/auxiliary/GraphemeBreakTest.txt";
const std::string breakMark = "\xC3\xB7";    // ÷
const std::string noBreakMark = "\xC3\x97";  // ×

TEST(TextUnicodeGraphemeBreakTest, EveryLine) {
    std::ifstream file(testFile);
    ASSERT_TRUE(file) << testFile << " is missing; install the unicode-data package";
    std::string line;
    int lineNumber = 0;
    int checked = 0;
    int failures = 0;
    while (std::getline(file, line)) {
        ++lineNumber;
        std::istringstream tokens(line.substr(0, line.find('#')));
        std::string text;
        std::vector<std::size_t> expected;
        std::string token;
        while (tokens >> token) {
            if (token == breakMark) {
                expected.push_back(text.size());
            } else if (token != noBreakMark) {
                text::appendUtf8(text, static_cast<char32_t>(std::stoul(token, nullptr, 16)));
            }
        }
        if (expected.empty()) {
            continue;
        }
        ++checked;
        if (text::graphemeBoundaries(text) != expected && ++failures <= 20) {
            ADD_FAILURE() << "line " << lineNumber << ": " << line;
        }
    }
    EXPECT_EQ(failures, 0);
    // The 15.0 file has 602 test lines; far fewer means the file was not read as meant.
    EXPECT_GE(checked, 600);
}

}  // namespace
