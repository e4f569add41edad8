// Runs the Unicode Consortium's NormalizationTest.txt (Unicode 15.0), read straight from its
// bzip2 file, against the canonical forms and the comparison built on them.
#include <array>
#include <bzlib.h>
#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>

#include <gtest/gtest.h>

#include "text/normalize.h"
#include "text/utf8.h"

namespace {

const char* const testFile = LARKSPIN_UNICODE_DATA "/NormalizationTest.txt.bz2";

std::optional<std::string> readBz2(const char* path) {
    const std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path, "rb"),
                                                                  &std::fclose);
    if (!file) {
        return std::nullopt;
    }
    int error = BZ_OK;
    BZFILE* bz = BZ2_bzReadOpen(&error, file.get(), 0, 0, nullptr, 0);
    if (error != BZ_OK) {
        BZ2_bzReadClose(&error, bz);
        return std::nullopt;
    }
    std::string out;
    std::array<char, 1 << 16> buffer{};
    while (error == BZ_OK) {
        const int got = BZ2_bzRead(&error, bz, buffer.data(), static_cast<int>(buffer.size()));
        if (error == BZ_OK || error == BZ_STREAM_END) {
            out.append(buffer.data(), static_cast<std::size_t>(got));
        }
    }
    const bool complete = error == BZ_STREAM_END;
    BZ2_bzReadClose(&error, bz);
    if (!complete) {
        return std::nullopt;
    }
    return out;
}

// "0044 0307" as UTF-8.
std::string decodeField(const std::string& field) {
    std::istringstream hex(field);
    std::string out;
    std::string token;
    while (hex >> token) {
        text::appendUtf8(out, static_cast<char32_t>(std::stoul(token, nullptr, 16)));
    }
    return out;
}

struct Failures {
    int count = 0;
    void check(bool ok, int lineNumber, const std::string& line, const char* what) {
        if (!ok && ++count <= 20) {
            ADD_FAILURE() << "line " << lineNumber << " (" << what << "): " << line;
        }
    }
};

TEST(TextUnicodeNormalizationTest, EveryLine) {
    const std::optional<std::string> content = readBz2(testFile);
    ASSERT_TRUE(content) << testFile
                         << " is missing or unreadable; install the unicode-data package";
    std::istringstream lines(*content);
    std::string line;
    int lineNumber = 0;
    int checked = 0;
    bool inPart1 = false;
    std::vector<bool> listedInPart1(0x110000, false);
    Failures failures;
    while (std::getline(lines, line)) {
        ++lineNumber;
        if (line.starts_with("@Part")) {
            inPart1 = line.starts_with("@Part1");
            continue;
        }
        const std::string data = line.substr(0, line.find('#'));
        std::array<std::string, 5> c;
        std::istringstream fields(data);
        std::size_t n = 0;
        for (std::string field; n < c.size() && std::getline(fields, field, ';'); ++n) {
            c.at(n) = decodeField(field);
        }
        if (n < c.size()) {
            continue;
        }
        ++checked;
        if (inPart1) {
            listedInPart1.at(std::stoul(data, nullptr, 16)) = true;
        }
        const auto check = [&](bool ok, const char* what) {
            failures.check(ok, lineNumber, line, what);
        };
        check(c[1] == text::nfc(c[0]) && c[1] == text::nfc(c[1]) && c[1] == text::nfc(c[2]),
              "c2 == NFC(c1..c3)");
        check(c[3] == text::nfc(c[3]) && c[3] == text::nfc(c[4]), "c4 == NFC(c4, c5)");
        check(c[2] == text::nfd(c[0]) && c[2] == text::nfd(c[1]) && c[2] == text::nfd(c[2]),
              "c3 == NFD(c1..c3)");
        check(c[4] == text::nfd(c[3]) && c[4] == text::nfd(c[4]), "c5 == NFD(c4, c5)");
        check(text::canonicallyEqual(c[0], c[1]) && text::canonicallyEqual(c[0], c[2]) &&
                  text::canonicallyEqual(c[3], c[4]),
              "canonically equal");
    }
    EXPECT_GT(checked, 18000);

    // The file's own rule for its @Part1 section: a code point not listed there is its own NFC
    // and NFD.
    int unlisted = 0;
    for (char32_t c = 0; c < 0x110000; ++c) {
        if (listedInPart1[c] || (c >= 0xD800 && c <= 0xDFFF)) {
            continue;
        }
        std::string s;
        text::appendUtf8(s, c);
        if ((text::nfc(s) != s || text::nfd(s) != s) && ++unlisted <= 20) {
            ADD_FAILURE() << "U+" << std::hex << static_cast<std::uint32_t>(c)
                          << " is not left alone";
        }
    }
    EXPECT_EQ(failures.count, 0);
    EXPECT_EQ(unlisted, 0);
}

}  // namespace
