// Parsing requests: the blank rule, bounded nesting, and parse errors that stay readable.
#include "frame/intake.h"

#include <gtest/gtest.h>

#include "text/utf8.h"

namespace {

using nlohmann::json;

TEST(FrameIntakeBlank, OnlySpaceTabLineFeedAndReturnAreBlank) {
    EXPECT_TRUE(frame::isBlankInput(""));
    EXPECT_TRUE(frame::isBlankInput(" \t\r\n"));
    EXPECT_FALSE(frame::isBlankInput("\f"));
    EXPECT_FALSE(frame::isBlankInput("\v"));
    EXPECT_FALSE(frame::isBlankInput(" \xc2\xa0"));  // a no-break space is not blank input
}

TEST(FrameIntakeParse, KeepsShallowValuesAndDropsOnlyTheAbsurdlyDeep) {
    std::string deep = "{\"pid\": 1, \"junk\": ";
    deep += std::string(100000, '[') + std::string(100000, ']') + "}";
    const json parsed = frame::parseRequest(deep);
    EXPECT_EQ(parsed["pid"], 1);
    EXPECT_TRUE(parsed["junk"].is_array());  // kept near the top, emptied far below
}

TEST(FrameIntakeParse, LastDuplicateKeyWins) {
    EXPECT_EQ(frame::parseRequest(R"({"a": 1, "a": 2})")["a"], 2);
}

TEST(FrameIntakeParse, ErrorsAreDecodeErrorsWithValidText) {
    for (const std::string& bad : {std::string("{"), std::string("{\"a\": \"\xff\"}"),
                                   std::string("[1,]"), std::string("nul")}) {
        try {
            frame::parseRequest(bad);
            ADD_FAILURE() << "parsed: " << bad;
        } catch (const frame::DecodeError& error) {
            EXPECT_TRUE(text::isValidUtf8(error.what())) << error.what();
            EXPECT_EQ(std::string(error.what()).find("[json.exception"), std::string::npos);
        }
    }
}

TEST(FrameIntakeParse, BigIntegersKeepTheirKind) {
    const json parsed = frame::parseRequest(R"({"u": 9223372036854775808})");
    EXPECT_TRUE(parsed["u"].is_number_unsigned());
    // A number too large for a double is a parse error, not an infinity.
    EXPECT_THROW(frame::parseRequest(R"({"f": 1e400})"), frame::DecodeError);
}

}  // namespace
