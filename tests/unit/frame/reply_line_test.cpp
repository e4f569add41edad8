// The reply line: compact, unescaped slashes, one line feed, and the fallback for replies that
// JSON cannot carry.
#include <limits>

#include <gtest/gtest.h>

#include "frame/reply.h"

namespace {

using nlohmann::json;

const std::string fallback =
    "{\"ok\":false,\"error\":\"internal\",\"detail\":\"reply not serializable\"}\n";

TEST(FrameReplyLine, IsCompactWithUnescapedSlashAndOneLineFeed) {
    const std::string line = frame::replyLine({{"ok", false}, {"detail", "a/b"}});
    EXPECT_EQ(line, "{\"detail\":\"a/b\",\"ok\":false}\n");
}

TEST(FrameReplyLine, FallbackIsSixtyFiveBytesAndLineFeed) {
    EXPECT_EQ(fallback.size(), 66U);
}

TEST(FrameReplyLine, NonFiniteNumbersAnywhereGiveTheFallback) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(frame::replyLine({{"x", nan}}), fallback);
    EXPECT_EQ(frame::replyLine({{"a", {{"b", json::array({1, -inf})}}}}), fallback);
    EXPECT_NE(frame::replyLine({{"x", 1.5}}), fallback);
}

TEST(FrameReplyLine, TextThatIsNotUtf8GivesTheFallback) {
    EXPECT_EQ(frame::replyLine({{"x", std::string("\xff")}}), fallback);
    EXPECT_EQ(frame::replyLine({{"x", json::array({"ok", std::string("\xc3")})}}), fallback);
}

TEST(FrameReplyLine, OrNullWritesAbsentAsNull) {
    EXPECT_EQ(frame::orNull(std::optional<std::string>()), json(nullptr));
    EXPECT_EQ(frame::orNull(std::optional<std::string>("")), json(""));
}

}  // namespace
